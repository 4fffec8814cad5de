// orvanta-drop-file.exe <path>...: drops the files on the running program's main window as
// the shell does, with WM_DROPFILES and a DROPFILES block. The block is written into the
// program's own memory (a drop handle is only good in the process that reads it).
// Exits 0 once the message is posted, 1 when the window is not found or the post fails.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: orvanta-drop-file <path>...\n");
    return 1;
  }
  HWND window = FindWindowA("OrvantaMain", nullptr);
  if (!window) {
    std::printf("no main window\n");
    return 1;
  }
  // DROPFILES, then the paths, each with its zero, and one more zero at the end.
  std::vector<char> block(sizeof(DROPFILES), 0);
  for (int i = 1; i < argc; ++i) {
    const std::string path = argv[i];
    block.insert(block.end(), path.begin(), path.end());
    block.push_back(0);
  }
  block.push_back(0);
  auto* header = reinterpret_cast<DROPFILES*>(block.data());
  header->pFiles = sizeof(DROPFILES);
  RECT client{};
  GetClientRect(window, &client);
  header->pt = {client.right / 2, client.bottom / 2};
  header->fNC = FALSE;
  header->fWide = FALSE;

  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
  if (!process) {
    std::printf("cannot open the program's process\n");
    return 1;
  }
  void* remote =
      VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  const bool ok = remote &&
                  WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
                  written == block.size() &&
                  PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
  CloseHandle(process);
  std::printf(ok ? "dropped\n" : "drop failed\n");
  return ok ? 0 : 1;
}

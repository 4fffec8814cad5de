#pragma once

#include <string>

namespace orv {

class Form;

// The open-file dialog object: invisible on its form, shown by ShowOpen.
class CommonDialog {
 public:
  CommonDialog(Form& owner, std::string name, std::string filter, int maxFileSize);

  const std::string& name() const { return name_; }
  const std::string& Filter() const { return filter_; }
  void setFilter(const std::string& filter) { filter_ = filter; }
  const std::string& FileName() const { return fileName_; }
  void setFileName(const std::string& fileName) { fileName_ = fileName; }
  int MaxFileSize() const { return maxFileSize_; }
  void setMaxFileSize(int size);
  const std::string& DialogTitle() const { return title_; }
  const std::string& InitDir() const { return initDir_; }
  // When set, cancelling the dialog raises error 32755.
  bool CancelError() const { return cancelError_; }
  void setCancelError(bool value) { cancelError_ = value; }

  // Shows the modal open-file dialog; on a choice FileName becomes the chosen path.
  void ShowOpen();

 private:
  Form& owner_;
  std::string name_, filter_, fileName_, title_, initDir_;
  int maxFileSize_;
  bool cancelError_ = false;
};

}  // namespace orv

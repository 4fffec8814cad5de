#include "runtime/common_dialog.h"

#include "runtime/errors.h"
#include "runtime/form.h"
#include "runtime/runtime.h"

namespace orv {

CommonDialog::CommonDialog(Form& owner, std::string name, std::string filter, int maxFileSize)
    : owner_(owner),
      name_(std::move(name)),
      filter_(std::move(filter)),
      maxFileSize_(maxFileSize) {}

void CommonDialog::setMaxFileSize(int size) {
  if (size < 1 || size > 32767) raiseError(err::InvalidPropertyValue);
  maxFileSize_ = size;
}

void CommonDialog::ShowOpen() {
  OpenDialogRequest request;
  request.filter = filter_;
  request.fileName = fileName_;
  request.maxFileSize = maxFileSize_;
  request.title = title_;
  request.initialDirectory = initDir_;
  auto chosen = owner_.runtime().backend().showOpenDialog(request, owner_.peer());
  if (!chosen) {
    if (cancelError_) raiseError(err::DialogCancelled);
    return;
  }
  fileName_ = *chosen;
}

}  // namespace orv

#include "common/context.h"

#include "common/failure.h"

namespace zyr::update {

void throw_if_cancelled(const Context& context) {
  if (context.cancelled.load()) {
    throw_failure(Text::OperationCancelled);
  }
}

}  // namespace zyr::update

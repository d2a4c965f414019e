#include "app/after_input_check.h"

namespace quenlow {

void AfterInputCheck() {}

}  // namespace quenlow

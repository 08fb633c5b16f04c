// Form1's handlers from the layers above ui/.
#include "actions/form2.h"
#include "actions/open_dropped.h"
#include "startup/form1_handlers.h"

namespace vaultpick {

Form1Handlers form1Handlers() { return {Form_Load, Form_DropFiles, loadForm2}; }

}  // namespace vaultpick

#include "settings/halvex32/module.h"

namespace halvex32 {

// A function-local table: the dialogs' files fill it from their static
// initialisers, whose order across files is not defined.
ui::ResourceTable& Resources() {
    static ui::ResourceTable table;
    return table;
}

}  // namespace halvex32

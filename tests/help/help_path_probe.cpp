#include "common/ui/help.h"

#include <cstdio>

int main() {
    std::puts(ui::HelpPath().c_str());
    return 0;
}

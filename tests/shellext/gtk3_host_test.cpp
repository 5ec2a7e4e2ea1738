// The Nemo or Caja module (PARVEX_FM_MODULE) as its file manager uses it (gtk3_host.h), registered the way the suite
// registers parvex.so: the menu for a selection and an entry activated with the keys GDK 3 reports, the same scenario
// as GNOME Files' (host_fixture.h).
#include "tests/shellext/gtk3_host.h"

#include "tests/shellext/host_fixture.h"

using namespace shelltest;
using namespace gtk3host;

namespace {

void* FmModule() { return ::dlopen(PARVEX_FM_MODULE, RTLD_NOW | RTLD_LOCAL); }

// Named after the file manager (Nemo, Caja), so that its tests are found by its name.
class PARVEX_FM_FIXTURE : public HostTest<Host, FmModule> {
protected:
    void SetUp() override {
        HostTest::SetUp();
        g_modifiers = 0;
    }
};

#define FM_TEST(fixture, name) TEST_F(fixture, name)
FM_TEST(PARVEX_FM_FIXTURE, ParvexRegistrationOffersTheMenuAndEachChoiceHandsOffWithTheKeysHeld) {
    MenuAndHandOff(g_modifiers);
}

}  // namespace

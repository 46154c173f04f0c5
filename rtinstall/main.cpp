// rtinstall: the Vantorel run-time library installer.  Reads no
// command-line arguments; exits with status 0 or -1.
#include "installer_flow.hpp"
#include "win32_platform.hpp"

int main() {
    rtinstall::Win32Platform platform;
    return rtinstall::runInstaller(platform);
}

// The executable: the framework's entry point runs the application object, theApp.
#include "app/peldmark_app.h"
#include "reader/private_folder.h"

// theApp lives in the library, and nothing else in the program names it: this kept
// reference is what links it in (the linker takes only the archive members it needs).
__attribute__((used)) static CWinApp* const kApplicationObject = &theApp;

int main(int argc, char** argv)
{
    // Copies left by earlier runs that were killed outright (SIGKILL, a power cut).
    RemoveAbandonedPrivateFolders(TemporaryParent());
    return AfxWinMain(argc, argv);
}

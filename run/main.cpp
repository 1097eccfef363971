#include "run/gallery_run.h"

int main(int argc, char** argv, char** envp)
{
    return run_gallery(argc, argv, envp);
}

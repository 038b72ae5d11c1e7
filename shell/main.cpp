// The demo's entry: plays the whole show in the current directory.
#include "shell/demo.h"

int main()
{
    return demoMain();
}

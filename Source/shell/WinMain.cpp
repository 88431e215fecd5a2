#include "Lib_cpp/core/Diag.h"
int main()
{
    IxPrintBanner();
    return 0;
}

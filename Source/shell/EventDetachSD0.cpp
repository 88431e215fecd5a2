#include "Source/shell/EventDetachSD0.h"

#include "Source/shell/MainWndCodes.h"
#include "platform/base/Debug.h"

BOOL CEventDetach_SD0::Run()
{
    NKDbgPrintfW(u"[CEventDetach_SD0] : Run() \r\n");
    return Start(kDetachSd0Event, 0, -1);
}

int CEventDetach_SD0::Do()
{
    NKDbgPrintfW(u"[CEventDetach_SD0] : Do() \r\n");
    return 0;
}

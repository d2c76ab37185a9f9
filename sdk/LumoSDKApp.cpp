// CLumoSDKApp: the library's application object. At load the registry is built first, then
// the trace log starts; loading never fails on the library's account.
#include "common/trace/DEdura.h"
#include "sdk/LumoCtrl.h"

namespace {

class CLumoSDKApp {
public:
    CLumoSDKApp() { InitInstance(); }

    bool InitInstance() {
        CLumoCtrl::Instance();  // constructed before the trace starts, destroyed after this object
        xtracing_initialize(L"TvDbgCfg.ini");
        return true;
    }
};

CLumoSDKApp theApp;

}  // namespace

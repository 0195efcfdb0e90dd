#include "pass_context.h"

namespace tpe {

// Every information line as message 11, in order; nothing else.
EngineResult ListPass(PassContext& context) {
    for (const std::string& line : context.payload.model.infoLines) {
        if (!context.reporter.Text(kEngineInformation, line)) {
            return EngineResult::Cancelled;
        }
    }
    return EngineResult::Ok;
}

}  // namespace tpe

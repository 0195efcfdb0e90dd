#define QLD_SOURCE_FILE "Source\\System\\IFile"

#include "System/IFile.h"

#include "System/SystemServices.h"

namespace {

void WarnNotSupported(int line) {
    if (g_system_services != nullptr) {
        g_system_services->Warning(QLD_SOURCE_FILE, line, "QLC_IFileSource::WriteToFile",
                                   "WriteToFile not supported.");
    }
}

}  // namespace

void QLC_IFileSource::WriteToFile(QLC_IFile&, int) {
    WarnNotSupported(__LINE__);
}

void QLC_IFileSource::WriteToFile(const QLC_String&, int) {
    WarnNotSupported(__LINE__);
}

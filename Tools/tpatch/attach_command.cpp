// tpatch attach: appends a patch to the update utility's program.
#include <cstdint>
#include <string>

#include "cli.h"
#include "file_system.h"
#include "input_file.h"
#include "output_file.h"
#include "payload_locator.h"
#include "payload_reader.h"
#include "version_resource.h"

namespace tpatch {

namespace {

// Keeps a name part safe in any file system: anything but letters, digits, '.', '-' and '_'
// becomes '_'.
std::string FileNamePart(const std::string& text) {
    std::string part;
    for (char c : text) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-' || c == '_';
        part += plain ? c : '_';
    }
    return part;
}

// The from and to versions of the patch's Versions line (Versions,FILE,FROM,TO); false when
// it has none.
bool UpdateVersions(const tpe::PatchModel& model, UpdateIdentity* identity) {
    for (const std::string& line : model.infoLines) {
        if (line.rfind("Versions,", 0) != 0) {
            continue;
        }
        size_t file = line.find(',');
        size_t from = line.find(',', file + 1);
        size_t to = from == std::string::npos ? from : line.find(',', from + 1);
        if (to == std::string::npos || line.find(',', to + 1) != std::string::npos) {
            return false;
        }
        identity->fromVersion = line.substr(from + 1, to - from - 1);
        identity->toVersion = line.substr(to + 1);
        return true;
    }
    return false;
}

}  // namespace

int AttachCommand(const AttachArguments& args, std::ostream& out, std::ostream& err) {
    const std::string &patcher = args.patcher, &patch = args.patch, &product = args.product;
    std::string output = args.output;
    tpe::FileSystem& fs = tpe::NativeFileSystem();
    std::unique_ptr<tpe::InputFile> program = fs.OpenRead(patcher);
    std::unique_ptr<tpe::InputFile> payloadFile = fs.OpenRead(patch);
    if (!program || !payloadFile) {
        err << "tpatch attach: cannot read " << (program ? patch : patcher) << "\n";
        return kExitFailure;
    }
    if (!tpe::IsPeImage(*program)) {
        err << "tpatch attach: " << patcher << " is not a Windows program\n";
        return kExitFailure;
    }
    if (tpe::EndBeforeCertificates(*program) != program->Size()) {
        err << "tpatch attach: " << patcher
            << " is signed; attach the patch to the unsigned program and sign the result\n";
        return kExitFailure;
    }
    tpe::PayloadLocation existing;
    std::string why;
    if (tpe::LocatePayload(*program, &existing, &why) == tpe::PayloadStatus::Ok) {
        err << "tpatch attach: " << patcher << " already carries a patch\n";
        return kExitFailure;
    }
    tpe::OpenedPayload opened;
    if (tpe::ReadPayload(*payloadFile, &opened, &why) != tpe::PayloadStatus::Ok) {
        err << "tpatch attach: " << patch << ": " << why << "\n";
        return kExitFailure;
    }
    UpdateIdentity identity{product, "", ""};
    bool versionsKnown = UpdateVersions(opened.model, &identity);
    if (output.empty()) {
        if (!versionsKnown) {
            err << "tpatch attach: " << patch << " names no versions to name the program after;"
                << " give -o OUTPUT.exe\n";
            return kExitUsage;
        }
        output = FileNamePart(product) + "_" + FileNamePart(identity.fromVersion) + "_to_" +
                 FileNamePart(identity.toVersion) + ".exe";
    }
    tpe::PayloadLocation where;
    tpe::LocatePayload(*payloadFile, &where, &why);
    std::vector<uint8_t> bytes, payloadBytes;
    if (!ReadAll(*program, &bytes) || !ReadAll(*payloadFile, &payloadBytes)) {
        err << "tpatch attach: cannot read the inputs (or they are too large for this build of "
               "tpatch: use the 64-bit one)\n";
        return kExitFailure;
    }
    if (versionsKnown) {
        switch (StampVersionResource(&bytes, identity, &why)) {
            case StampResult::Stamped:
                break;
            case StampResult::NoResource:
                err << "tpatch attach: warning: " << patcher << ": " << why
                    << "; the file's properties will not name the update\n";
                break;
            case StampResult::Failed:
                err << "tpatch attach: " << why << "\n";
                return kExitFailure;
        }
    }
    bytes.insert(bytes.end(), payloadBytes.begin() + long(where.offset),
                 payloadBytes.begin() + long(where.offset + where.size));
    UpdatePeChecksum(&bytes);
    std::string error;
    if (!WriteWholeFile(output, bytes, &error)) {
        err << "tpatch attach: " << error << "\n";
        return kExitFailure;
    }
    out << "wrote " << output << ": " << bytes.size() << " bytes\n";
    return 0;
}

}  // namespace tpatch

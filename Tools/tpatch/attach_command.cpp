// tpatch attach: appends a patch to the update utility's program.
#include <string>

#include "cli.h"
#include "file_system.h"
#include "output_file.h"
#include "payload_locator.h"
#include "payload_reader.h"

namespace tpatch {

const char* const kAttachHelp =
    "usage: tpatch attach --patcher PROGRAM.exe PATCH -o OUTPUT.exe\n"
    "\n"
    "Writes OUTPUT.exe: the update utility's program with the patch appended. Sign OUTPUT.exe\n"
    "afterwards if you sign your releases; the engine finds the patch through the signature.\n";

namespace {

bool ReadAll(tpe::InputFile& file, std::vector<uint8_t>* bytes) {
    bytes->resize(size_t(file.Size()));
    return bytes->empty() || file.ReadAt(0, bytes->data(), bytes->size());
}

}  // namespace

int AttachCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string patcher, patch, output;
    for (size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--patcher" || args[i] == "-o") && i + 1 < args.size()) {
            (args[i] == "-o" ? output : patcher) = args[i + 1];
            ++i;
        } else if (args[i].rfind("-", 0) != 0 && patch.empty()) {
            patch = args[i];
        } else {
            err << "tpatch attach: unexpected argument " << args[i] << "\n\n" << kAttachHelp;
            return kExitUsage;
        }
    }
    if (patcher.empty() || patch.empty() || output.empty()) {
        err << "tpatch attach: --patcher, the patch and -o are required\n\n" << kAttachHelp;
        return kExitUsage;
    }
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
    if (tpe::LocatePayload(*program, &existing, &why)) {
        err << "tpatch attach: " << patcher << " already carries a patch\n";
        return kExitFailure;
    }
    tpe::OpenedPayload opened;
    if (tpe::ReadPayload(*payloadFile, &opened, &why) != tpe::PayloadStatus::Ok) {
        err << "tpatch attach: " << patch << ": " << why << "\n";
        return kExitFailure;
    }
    tpe::PayloadLocation where;
    tpe::LocatePayload(*payloadFile, &where, &why);
    std::vector<uint8_t> bytes, payloadBytes;
    if (!ReadAll(*program, &bytes) || !ReadAll(*payloadFile, &payloadBytes)) {
        err << "tpatch attach: cannot read the inputs\n";
        return kExitFailure;
    }
    bytes.insert(bytes.end(), payloadBytes.begin() + long(where.offset),
                 payloadBytes.begin() + long(where.offset + where.size));
    std::string error;
    if (!WriteWholeFile(output, bytes, &error)) {
        err << "tpatch attach: " << error << "\n";
        return kExitFailure;
    }
    out << "wrote " << output << ": " << bytes.size() << " bytes\n";
    return 0;
}

}  // namespace tpatch

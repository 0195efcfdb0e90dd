#pragma once
// The contract between PatchEngine.dll and the programs that load it: the one export, the
// callback, the messages the engine sends with their parameters, the answers it understands and
// the results it returns. The engine and the utility both compile against this header alone, so
// a value changed here changes on both sides. Plain C, for any caller.
#ifdef __cplusplus
extern "C" {
#endif

// Called synchronously, on the caller's thread, from inside PatchEngineApply. The answer is a
// text: the empty text carries on, a null pointer stops the engine (it rolls back what it
// changed); two messages take a word (kEngineAnswerYes, kEngineAnswerCombine).
typedef const char* (*EngineCallback)(unsigned messageId, void* parameter);

// Runs one pass: commandLine is /z "program" "folder" followed by -l, -j, -u or -r [-b:Folder].
// `flag` is reserved (callers pass 1). Returns 0 on success, a result code otherwise. Both
// functions use the C calling convention; the export sits at ordinal 1.
int PatchEngineApply(const char* commandLine, EngineCallback callback, int flag);

typedef int (*PatchEngineApplyFunction)(const char*, EngineCallback, int);

// Message ids and their parameters. Texts are NUL-terminated and at most kEngineMaxTextLength
// bytes long; file names are relative to the installation and '\'-separated.
enum EngineMessage {
    kEngineWarning = 2,            // text: a file is neither old nor new; the run goes on
    kEngineError = 4,              // text: the pass cannot succeed
    kEngineFileFraction = 5,       // pointer to uint16_t: done part of the current file, of
                                   // kEngineWholeFile
    kEngineFileCount = 6,          // pointer to uint32_t: files the patch covers
    kEngineFileBegins = 7,         // text: the name of the file that begins
    kEngineFileDone = 8,           // no parameter: the current file is done
    kEngineNotice = 9,             // text: what happens to the current file
    kEngineInformation = 11,       // text: an information line (-l) or a notice of the pass
    kEnginePatchInvalid = 13,      // no parameter: the patch information is damaged; this
                                   // engine reports damage with kEnginePatchFileInvalid
    kEnginePatchFileInvalid = 14,  // text (receivers may ignore it): why the payload was refused
    kEngineQuestion = 19,          // text: a yes/no question; kEngineAnswerYes (or "y") agrees
    kEngineTick = 21,              // no parameter: one mebibyte of the current file checked
    kEngineRecovered = 22,         // pointer to uint32_t, an EngineRecoveryOutcome: how an
                                   // interrupted apply was ended, once every file was checked
};

// Ids 15, 17, 18 and 20 are kept for conditions after which no pass can go on: the engine sends
// none of them today, and a receiver answers each with null.
static inline int IsEngineStopMessage(unsigned messageId) {
    return messageId == 15 || messageId == 17 || messageId == 18 || messageId == 20;
}

enum EngineRecoveryOutcome { kRecoveryCompleted = 1, kRecoveryRolledBack = 2 };

// kEngineFileFraction's value for the whole file.
static const unsigned kEngineWholeFile = 32768;
// The longest text the engine sends: receivers keep them in 1024-byte buffers.
static const unsigned kEngineMaxTextLength = 1023;

// The answer to kEngineQuestion that agrees, and the answer to kEngineFileCount during an apply
// that asks for one transaction over all files.
static const char kEngineAnswerYes[] = "Y";
static const char kEngineAnswerCombine[] = "COMBINE";

// Results that callers tell apart; 0 is success, any other value a failure.
enum EngineResultCode {
    kEngineFolderMissing = 4,     // the installation folder does not exist
    kEngineJournalUnusable = 12,  // an interrupted update's journal cannot be used; it stays
    kEngineFolderIsLink = 13,     // the installation folder is a link or junction
    kEngineDidNotStart = 32770,   // never returned by the engine: the engine could not be loaded
};

// The journal that the engine keeps in the installation while it changes it; one left behind
// means an update was interrupted.
static const char kEngineJournalName[] = ".~tpjournal";

#ifdef __cplusplus
}
#endif

#include "transaction.h"

namespace tpe {

Transaction::Transaction(FileSystem& fs, std::string root, std::string backupRoot,
                         std::string token)
    : m_fs(fs),
      m_root(std::move(root)),
      m_backupRoot(std::move(backupRoot)),
      m_token(std::move(token)) {}

Transaction::~Transaction() {
    if (!m_done) {
        std::string ignored;
        Rollback(&ignored);
    }
}

bool Transaction::EnsureFullFolder(const std::string& full) {
    NodeInfo node = m_fs.Stat(full);
    if (node.kind == NodeKind::Folder) {
        return true;
    }
    if (node.kind != NodeKind::Missing) {
        return false;
    }
    std::string parent = ParentPath(full);
    if (!parent.empty() && parent != full && !EnsureFullFolder(parent)) {
        return false;
    }
    if (!m_fs.MakeFolder(full)) {
        return false;
    }
    m_log.push_back({StepKind::CreatedFolder, full, std::string()});
    return true;
}

bool Transaction::EnsureFolder(const std::string& relative) {
    return relative.empty() || EnsureFullFolder(Full(relative));
}

std::string Transaction::StagingPath(const std::string& relative) const {
    return Full(relative) + ".~tpn" + m_token;
}

// Originals go to one folder at the root (so that emptied folders can be removed) or, with
// backups, to the same relative path below the backup folder.
std::string Transaction::AsidePath(const std::string& relative) {
    if (!m_backupRoot.empty()) {
        return Full(JoinPath(m_backupRoot, relative));
    }
    m_asideFolder = Full(".~tpo" + m_token);
    return JoinPath(m_asideFolder, std::to_string(++m_asideCount));
}

void Transaction::Staged(const std::string& relative) {
    m_log.push_back({StepKind::Staged, StagingPath(relative), std::string()});
}

void Transaction::Schedule(const std::string& relative, bool replace, bool clearReadOnly) {
    m_scheduled.push_back({relative, replace, clearReadOnly});
}

bool Transaction::Swap(std::string* error) {
    for (const Scheduled& s : m_scheduled) {
        const std::string target = Full(s.relative);
        if (m_fs.Stat(target).kind == NodeKind::File) {
            if (s.clearReadOnly) {
                if (!m_fs.SetReadOnly(target, false)) {
                    *error = "cannot make " + s.relative + " writable";
                    return false;
                }
                m_log.push_back({StepKind::ClearedReadOnly, target, std::string()});
            }
            const std::string aside = AsidePath(s.relative);
            if (!EnsureFullFolder(ParentPath(aside))) {
                *error = "cannot create the backup folder for " + s.relative;
                return false;
            }
            if (!m_fs.Rename(target, aside)) {
                *error = m_backupRoot.empty() ? "cannot move " + s.relative + " aside"
                                              : "cannot move " + s.relative +
                                                    " into the backup folder (is a backup of it "
                                                    "already there?)";
                return false;
            }
            m_log.push_back({StepKind::MovedAside, target, aside});
        }
        if (s.replace) {
            if (!m_fs.Rename(StagingPath(s.relative), target)) {
                *error = "cannot move the new " + s.relative + " into place";
                return false;
            }
            m_log.push_back({StepKind::MovedIn, StagingPath(s.relative), target});
        }
    }
    return true;
}

bool Transaction::RemoveFolder(const std::string& relative) {
    if (!m_fs.RemoveFolder(Full(relative))) {
        return false;
    }
    m_log.push_back({StepKind::RemovedFolder, Full(relative), std::string()});
    return true;
}

bool Transaction::Rollback(std::string* error) {
    bool complete = true;
    for (auto step = m_log.rbegin(); step != m_log.rend(); ++step) {
        bool undone = true;
        switch (step->kind) {
            case StepKind::CreatedFolder:
                undone = m_fs.RemoveFolder(step->from);
                break;
            case StepKind::Staged:
                undone =
                    m_fs.Stat(step->from).kind == NodeKind::Missing || m_fs.RemoveFile(step->from);
                break;
            case StepKind::ClearedReadOnly:
                undone = m_fs.SetReadOnly(step->from, true);
                break;
            case StepKind::MovedAside:
                undone = m_fs.Rename(step->to, step->from);
                break;
            case StepKind::MovedIn:
                undone = m_fs.Rename(step->to, step->from);
                break;
            case StepKind::RemovedFolder:
                undone = m_fs.MakeFolder(step->from);
                break;
        }
        if (!undone) {
            if (complete) {
                *error = "could not restore " + step->from;
            }
            complete = false;
        }
    }
    m_log.clear();
    m_done = true;
    return complete;
}

void Transaction::Finish() {
    if (m_backupRoot.empty()) {
        for (const Step& step : m_log) {
            if (step.kind == StepKind::MovedAside) {
                m_fs.RemoveFile(step.to);
            }
        }
        if (!m_asideFolder.empty()) {
            m_fs.RemoveFolder(m_asideFolder);
        }
    }
    m_log.clear();
    m_done = true;
}

}  // namespace tpe

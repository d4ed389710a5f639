#pragma once

#include <QProcess>
#include <sys/resource.h>

// A disk that fills up: files may not grow beyond `bytes` while this lives (writes beyond fail
// with EFBIG instead of raising SIGXFSZ).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = nullptr;
};

// Makes file permissions bind even when the tests run as root, who otherwise writes into any
// read-only folder: drops the capabilities that override them while this lives.
class PermissionsBind {
public:
    PermissionsBind();
    ~PermissionsBind();
    PermissionsBind(const PermissionsBind&) = delete;
    PermissionsBind& operator=(const PermissionsBind&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    bool dropped_ = false;
};

// The same two faults for a child process, for all of its life.
void limitChildFileSize(QProcess& process, rlim_t bytes);
void bindChildPermissions(QProcess& process);

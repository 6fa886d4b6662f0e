#pragma once

#include <QString>
#include <QStringList>

#include <memory>

struct mpv_handle;

// Owns one libmpv instance and terminates it when destroyed, with typed
// shortcuts for the option, property and command calls the player makes.
// Every call returns libmpv's error code (0 or more on success).
//
// Thread: the owner's thread. libmpv itself is thread-safe, but the render
// context made from this handle must be freed before the handle is destroyed.
class MpvHandle
{
public:
    // Creates an instance with LC_NUMERIC set to "C", which libmpv demands.
    MpvHandle();
    ~MpvHandle();

    mpv_handle *get() const { return m_handle.get(); }
    bool isNull() const { return !m_handle; }

    int initialize();
    int setOption(const char *name, const QString &value);
    int setProperty(const char *name, const QString &value);
    int setProperty(const char *name, double value);
    int setProperty(const char *name, bool value);
    double doubleProperty(const char *name, double fallback = 0.0) const;
    bool flagProperty(const char *name) const;
    qint64 intProperty(const char *name, qint64 fallback = 0) const;
    QString stringProperty(const char *name) const;
    int commandAsync(const QStringList &arguments, quint64 replyId = 0);

    static QString errorText(int error);

private:
    struct Deleter {
        void operator()(mpv_handle *handle) const;
    };
    std::unique_ptr<mpv_handle, Deleter> m_handle;
};

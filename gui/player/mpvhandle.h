#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QImage;
struct mpv_handle;
struct mpv_node;
struct mpv_render_context;

// Owns one libmpv instance and its software render context, with typed
// shortcuts for the option, property and command calls the player makes.
// Every call returns libmpv's error code (0 or more on success). Destroying it
// detaches both callbacks, frees the render context and then terminates the
// instance, the order libmpv demands.
//
// Thread: the owner's thread. libmpv itself is thread-safe.
class MpvHandle
{
public:
    // Creates an instance with LC_NUMERIC set to "C", which libmpv demands.
    MpvHandle();
    ~MpvHandle();

    mpv_handle *get() const { return m_handle.get(); }
    bool isNull() const { return !m_handle; }
    // Null until createRenderContext() has succeeded.
    mpv_render_context *renderContext() const { return m_render.get(); }

    int initialize();
    // Makes the software render context; call once, after initialize().
    int createRenderContext();
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
    // The image in the answer of "screenshot-raw" (Format_ARGB32); null when
    // the answer holds none.
    static QImage screenshotImage(const mpv_node *result);

private:
    struct Deleter {
        void operator()(mpv_handle *handle) const;
    };
    struct RenderDeleter {
        void operator()(mpv_render_context *render) const;
    };
    std::unique_ptr<mpv_handle, Deleter> m_handle;
    // Declared after the handle, so destroyed before it.
    std::unique_ptr<mpv_render_context, RenderDeleter> m_render;
};

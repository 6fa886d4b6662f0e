#include "mpvhandle.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <QImage>

#include <clocale>
#include <vector>

void MpvHandle::Deleter::operator()(mpv_handle *handle) const
{
    mpv_set_wakeup_callback(handle, nullptr, nullptr);
    mpv_terminate_destroy(handle);
}

void MpvHandle::RenderDeleter::operator()(mpv_render_context *render) const
{
    mpv_render_context_set_update_callback(render, nullptr, nullptr);
    mpv_render_context_free(render);
}

MpvHandle::MpvHandle()
{
    // QApplication sets the locale from the environment; libmpv refuses to
    // start unless numbers are formatted the C way.
    std::setlocale(LC_NUMERIC, "C");
    m_handle.reset(mpv_create());
}

MpvHandle::~MpvHandle() = default;

int MpvHandle::initialize()
{
    return mpv_initialize(get());
}

int MpvHandle::createRenderContext()
{
    mpv_render_param params[] = {
        { MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_SW) },
        { MPV_RENDER_PARAM_INVALID, nullptr },
    };
    mpv_render_context *render = nullptr;
    const int created = mpv_render_context_create(&render, get(), params);
    if (created >= 0)
        m_render.reset(render);
    return created;
}

int MpvHandle::setOption(const char *name, const QString &value)
{
    return mpv_set_option_string(get(), name, value.toUtf8().constData());
}

int MpvHandle::setProperty(const char *name, const QString &value)
{
    return mpv_set_property_string(get(), name, value.toUtf8().constData());
}

int MpvHandle::setProperty(const char *name, double value)
{
    return mpv_set_property(get(), name, MPV_FORMAT_DOUBLE, &value);
}

int MpvHandle::setProperty(const char *name, bool value)
{
    int flag = value ? 1 : 0;
    return mpv_set_property(get(), name, MPV_FORMAT_FLAG, &flag);
}

double MpvHandle::doubleProperty(const char *name, double fallback) const
{
    double value = 0.0;
    return mpv_get_property(get(), name, MPV_FORMAT_DOUBLE, &value) >= 0 ? value : fallback;
}

bool MpvHandle::flagProperty(const char *name) const
{
    int value = 0;
    return mpv_get_property(get(), name, MPV_FORMAT_FLAG, &value) >= 0 && value;
}

qint64 MpvHandle::intProperty(const char *name, qint64 fallback) const
{
    int64_t value = 0;
    return mpv_get_property(get(), name, MPV_FORMAT_INT64, &value) >= 0 ? value : fallback;
}

QString MpvHandle::stringProperty(const char *name) const
{
    char *value = mpv_get_property_string(get(), name);
    const QString text = value ? QString::fromUtf8(value) : QString();
    mpv_free(value);
    return text;
}

int MpvHandle::commandAsync(const QStringList &arguments, quint64 replyId)
{
    std::vector<QByteArray> utf8;
    utf8.reserve(arguments.size());
    for (const QString &argument : arguments)
        utf8.push_back(argument.toUtf8());
    std::vector<const char *> argv;
    for (const QByteArray &argument : utf8)
        argv.push_back(argument.constData());
    argv.push_back(nullptr);
    return mpv_command_async(get(), replyId, argv.data());
}

QString MpvHandle::errorText(int error)
{
    return QString::fromUtf8(mpv_error_string(error));
}

// The answer is a map of w, h, stride, format ("bgr0") and data.
QImage MpvHandle::screenshotImage(const mpv_node *result)
{
    qint64 width = 0;
    qint64 height = 0;
    qint64 stride = 0;
    QByteArray format;
    const mpv_byte_array *data = nullptr;
    if (result && result->format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list *map = result->u.list;
        for (int i = 0; i < map->num; ++i) {
            const QByteArray key(map->keys[i]);
            const mpv_node &value = map->values[i];
            if (value.format == MPV_FORMAT_INT64 && key == "w")
                width = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "h")
                height = value.u.int64;
            else if (value.format == MPV_FORMAT_INT64 && key == "stride")
                stride = value.u.int64;
            else if (value.format == MPV_FORMAT_STRING && key == "format")
                format = value.u.string;
            else if (value.format == MPV_FORMAT_BYTE_ARRAY && key == "data")
                data = value.u.ba;
        }
    }
    if (format != "bgr0" || width <= 0 || height <= 0 || stride < width * 4 || !data
        || qint64(data->size) < stride * height)
        return QImage();
    // bgr0 is Format_RGB32 byte for byte but for the unused byte, which is made opaque.
    QImage image(int(width), int(height), QImage::Format_ARGB32);
    const auto *source = static_cast<const uchar *>(data->data);
    for (int y = 0; y < image.height(); ++y) {
        const auto *in = reinterpret_cast<const quint32 *>(source + y * stride);
        auto *out = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = in[x] | 0xff000000u;
    }
    return image;
}

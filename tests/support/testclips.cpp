#include "testclips.h"

#include <QDir>

namespace TestClips {

QString path(const QString &name)
{
    return QDir(QStringLiteral(TINDRA_CLIP_DIR)).absoluteFilePath(name);
}

QString builtFile(const QString &relativePath)
{
    return QDir(QStringLiteral(TINDRA_BINARY_DIR)).absoluteFilePath(relativePath);
}

}

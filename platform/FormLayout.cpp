#include "platform/FormLayout.h"

#include <QGuiApplication>
#include <QScreen>

double FormScale()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double scale = screen ? screen->logicalDotsPerInch() / 120.0 : 0.8;
    return scale > 0 ? scale : 0.8;
}

QFont FormFont(double scale)
{
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(static_cast<int>(13 * scale + 0.5));
    return f;
}

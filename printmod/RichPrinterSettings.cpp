// The page setup dialog and the settings the printer keeps in the registry.
#include "printmod/RichPrinter.h"

#include "platform/Registry.h"
#include "platform/numbers/IntegerText.h"

#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QScreen>
#include <QtEndian>

#include <cmath>
#include <optional>

namespace kelpa::printmod {

namespace {

const QString kSettingsKey = QStringLiteral("RichPrint.Settings");

QByteArray doubleBytes(double value)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

std::optional<double> bytesDouble(const std::optional<QByteArray> &bytes)
{
    if (!bytes || bytes->size() != 8)
        return std::nullopt;
    const double value = qFromLittleEndian<double>(bytes->constData());
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

// Decimal integer of a registry text; nothing when it is not one.
std::optional<int> decimal(const QString &text)
{
    return parseInteger(text.trimmed().toStdString(), IntegerSyntax::Decimal);
}

} // namespace

// --- Registry

void TRichPrinter::ReadIniFile()
{
    platform::RegistryKey probe;
    if (!probe.keyExists(kSettingsKey + QStringLiteral("\\Marges"))) {
        Refresh();
        return;
    }
    platform::RegIniFile ini(kSettingsKey);
    const QString section = QStringLiteral("Marges");
    const auto margin = [&](const char *name) { return bytesDouble(ini.readBinaryData(section, QLatin1String(name))); };
    if (const auto v = margin("MarginLeft"))
        SetMarginLeft(*v);
    if (const auto v = margin("MarginTop"))
        SetMarginTop(*v);
    if (const auto v = margin("MarginBottom"))
        SetMarginBottom(*v);
    if (const auto v = margin("MarginRight"))
        SetMarginRight(*v);
    const auto unit = decimal(ini.readString(section, QStringLiteral("CodeMeasurement"), QStringLiteral("1")));
    SetMeasureUnit(!unit || *unit == 1 ? TMeasureUnit::muMillimeters : TMeasureUnit::muInches);
    const auto direction = decimal(ini.readString(section, QStringLiteral("CodeDirection"), QStringLiteral("1")));
    SetOrientation(!direction || *direction == 1 ? QPageLayout::Portrait : QPageLayout::Landscape);
}

void TRichPrinter::WriteIniFile()
{
    platform::RegIniFile ini(kSettingsKey);
    const QString section = QStringLiteral("Marges");
    ini.writeBinaryData(section, QStringLiteral("MarginLeft"), doubleBytes(marginLeft_));
    ini.writeBinaryData(section, QStringLiteral("MarginTop"), doubleBytes(marginTop_));
    ini.writeBinaryData(section, QStringLiteral("MarginBottom"), doubleBytes(marginBottom_));
    ini.writeBinaryData(section, QStringLiteral("MarginRight"), doubleBytes(marginRight_));
    ini.writeString(section, QStringLiteral("CodeMeasurement"),
                    measureUnit_ == TMeasureUnit::muMillimeters ? QStringLiteral("1") : QStringLiteral("0"));
    ini.writeString(section, QStringLiteral("CodeDirection"),
                    Orientation() == QPageLayout::Portrait ? QStringLiteral("1") : QStringLiteral("0"));
}

void TRichPrinter::WriteIniFileCompress()
{
    platform::RegIniFile(kSettingsKey).writeBool(QStringLiteral("Compress"), QStringLiteral("CompressPreview"), compressPreview_);
}

// --- Page setup

bool TRichPrinter::PageDialog(QWidget *owner)
{
    if (saveMargins_)
        ReadIniFile();
    port_->setOrientation(Orientation());
    const double factor = measureUnit_ == TMeasureUnit::muInches ? 1000.0 : 100.0;
    // The dialog works in whole hundredths of a millimetre or thousandths of an inch.
    double margins[4] = {std::nearbyint(marginLeft_ * factor) / factor, std::nearbyint(marginTop_ * factor) / factor,
                         std::nearbyint(marginRight_ * factor) / factor,
                         std::nearbyint(marginBottom_ * factor) / factor};
    QPrinter *printer = port_->printer();
    bool accepted = false;
    if (pageSetupRunner_) {
        accepted = pageSetupRunner_(margins, printer);
    } else if (printer) {
        const QPageLayout::Unit unit = measureUnit_ == TMeasureUnit::muInches ? QPageLayout::Inch : QPageLayout::Millimeter;
        const QPageLayout device = printer->pageLayout();
        QPageLayout shown = device;
        shown.setUnits(unit);
        shown.setMode(QPageLayout::StandardMode);
        shown.setMargins(QMarginsF(margins[0], margins[1], margins[2], margins[3]));
        printer->setPageLayout(shown);
        QPageSetupDialog dialog(printer, owner);
        dialog.adjustSize();
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect s = screen->geometry();
            dialog.move((s.width() - dialog.width()) / 2, (s.height() - dialog.height()) / 3);
        }
        accepted = dialog.exec() == QDialog::Accepted;
        const QMarginsF chosen = printer->pageLayout().margins(unit);
        margins[0] = chosen.left();
        margins[1] = chosen.top();
        margins[2] = chosen.right();
        margins[3] = chosen.bottom();
        // The printer keeps its own least margins; ours are kept by the component.
        QPageLayout back = printer->pageLayout();
        back.setMargins(back.minimumMargins());
        printer->setPageLayout(back);
    }
    SetMarginLeft(margins[0]);
    SetMarginTop(margins[1]);
    SetMarginRight(margins[2]);
    SetMarginBottom(margins[3]);
    Refresh();
    if (saveMargins_)
        WriteIniFile();
    return accepted;
}

} // namespace kelpa::printmod

// The settings kept between starts.

#include "app/AppSettings.h"

#include "session/NativePath.h"

#include <QCoreApplication>
#include <QSettings>

bool AppSettings::enabled()
{
    return !QCoreApplication::organizationName().isEmpty();
}

PanelSettings AppSettings::panel()
{
    PanelSettings kept;
    if (!enabled())
        return kept;
    QSettings settings;
    kept.fftExponent = settings.value("spectrum/fftExponent", kept.fftExponent).toInt();
    kept.overlapPercent = settings.value("spectrum/overlap", kept.overlapPercent).toDouble();
    kept.rangeDb = settings.value("spectrum/range", kept.rangeDb).toDouble();
    kept.colorMap = settings.value("spectrum/colorMap", kept.colorMap).toInt();
    kept.showPowerView = settings.value("display/showPower", kept.showPowerView).toBool();
    kept.showAmplitudeView = settings.value("display/showAmplitude", kept.showAmplitudeView).toBool();
    kept.lastFolder = settings.value("files/lastFolder").toString();
    return kept;
}

void AppSettings::setPanel(const PanelSettings& kept)
{
    if (!enabled())
        return;
    QSettings settings;
    settings.setValue("spectrum/fftExponent", kept.fftExponent);
    settings.setValue("spectrum/overlap", kept.overlapPercent);
    settings.setValue("spectrum/range", kept.rangeDb);
    settings.setValue("spectrum/colorMap", kept.colorMap);
    settings.setValue("display/showPower", kept.showPowerView);
    settings.setValue("display/showAmplitude", kept.showAmplitudeView);
    settings.setValue("files/lastFolder", kept.lastFolder);
}

QByteArray AppSettings::windowGeometry()
{
    return enabled() ? QSettings().value("window/geometry").toByteArray() : QByteArray();
}

QByteArray AppSettings::splitterState()
{
    return enabled() ? QSettings().value("window/splitter").toByteArray() : QByteArray();
}

void AppSettings::setWindow(const QByteArray& geometry, const QByteArray& splitter)
{
    if (!enabled())
        return;
    QSettings settings;
    settings.setValue("window/geometry", geometry);
    settings.setValue("window/splitter", splitter);
}

QList<RecentRecording> AppSettings::recent()
{
    QList<RecentRecording> list;
    if (!enabled())
        return list;
    QSettings settings;
    const int size = settings.beginReadArray("files/recent");
    for (int k = 0; k < size && k < mostRecent; ++k) {
        settings.setArrayIndex(k);
        // The path's bytes (text from older settings reads the same).
        RecentRecording entry{pathText(settings.value("path").toByteArray().toStdString()), settings.value("format").toInt(),
                              settings.value("datatype").toString(), settings.value("rate").toString()};
        if (!entry.path.isEmpty())
            list.append(entry);
    }
    settings.endArray();
    return list;
}

void AppSettings::addRecent(const RecentRecording& recording)
{
    if (!enabled())
        return;
    QList<RecentRecording> list = recent();
    list.removeIf([&](const RecentRecording& entry) { return entry.path == recording.path; });
    list.prepend(recording);
    while (list.size() > mostRecent)
        list.removeLast();
    QSettings settings;
    settings.beginWriteArray("files/recent", static_cast<int>(list.size()));
    for (int k = 0; k < list.size(); ++k) {
        settings.setArrayIndex(k);
        settings.setValue("path", QByteArray::fromStdString(nativePath(list[k].path)));
        settings.setValue("format", list[k].format);
        settings.setValue("datatype", list[k].datatype);
        settings.setValue("rate", list[k].rate);
    }
    settings.endArray();
}

void AppSettings::reset()
{
    if (!enabled())
        return;
    // The recordings opened lately are the user's history, not a setting: they stay.
    const QList<RecentRecording> kept = recent();
    QSettings().clear();
    for (auto entry = kept.rbegin(); entry != kept.rend(); ++entry)
        addRecent(*entry);
}

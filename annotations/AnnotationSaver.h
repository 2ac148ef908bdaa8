#pragma once
// Where and how the annotations are saved, by what the recording was read from:
// a SigMF pair's metadata is rewritten in place; of an archive, a new pair or
// archive is written under a name the user chooses; a WAV, IQW or raw recording
// gets new SigMF metadata beside it that names it as its dataset. Once written,
// a pair (or that metadata) is what later saves rewrite. A recording's data
// files are never written.

#include <QMessageBox>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class Recording;
class QWidget;
struct RecordingAnnotation;

class AnnotationSaver
{
public:
    using MessageSink =
        std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;
    // Given a suggested path, the path to write a copy to; empty to cancel.
    using DestinationChooser = std::function<QString(const QString& suggestion)>;

    AnnotationSaver(const Recording* recording, QWidget* parent);

    // A new recording: saves go where its kind says.
    void recordingLoaded();
    // Writes the annotations; false when nothing was written (a failure, which
    // the message sink has shown, or a cancelled choice of name).
    bool save(const std::vector<RecordingAnnotation>& annotations);
    // What a save does now, for the pane's status line.
    QString destinationText() const;

    // Errors go to message boxes ("Error", no parent) unless a sink is set.
    void setMessageSink(MessageSink sink) { messageSink = std::move(sink); }
    // A file dialog asks for a copy's name unless a chooser is set.
    void setDestinationChooser(DestinationChooser chooser) { chooseDestination = std::move(chooser); }

private:
    void showError(const QString& text) const;
    QString askDestination(const QString& suggestion) const;
    void write(const std::vector<RecordingAnnotation>& annotations);

    const Recording* recording;
    QWidget* parent;
    MessageSink messageSink;
    DestinationChooser chooseDestination;
    // The metadata file later saves rewrite, and its members should it be gone.
    std::optional<std::string> target;
    std::string targetFallback;
};

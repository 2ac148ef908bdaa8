// The main window: the recording, the views, the panel, the menu and the tabs.

#include "app/MainWindow.h"

#include "io/RecordingOpener.h"
#include "panel/ControlPanel.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int leftColumnWidth = 340;
constexpr FileFormatChoice autoFormat = static_cast<FileFormatChoice>(FileFormat::Auto);

// The first local file among the dragged URLs, or an empty string.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return url.toLocalFile();
    return {};
}

const char* const fileFormatsText =
    "<p>Supported formats for recordings are:</p><ul>"
    "<li><b>Stereo WAV</b></li>"
    "<li><b>SigMF</b> meta/data couple of files (choose the .sigmf-meta file, the application "
    "expects the same filename with .sigmf-data extension to be in the same directory).</li>"
    "<li><b>SigMF archive</b> (.sigmf file holding the .sigmf-meta and .sigmf-data files; "
    "the first recording of the archive is opened).</li>"
    "<li><b>IQW</b> binary (equivalent to SigMF cf32_le)</li>"
    "<li><b>Binary</b>: all datatypes defined for SigMF are supported. Syntax is "
    "[r|c][f|i|u][bit_depth]_[le|be], example: ci32_le.</li></ul>"
    "<p>When \"Auto\" is selected, the extension is used to infer the file format "
    "(not possible with binary format).</p>";

const char* const aboutText =
    "<p><b>Norvale version 0.1.5</b>, written by the Norvale developers.</p>"
    "<p>THIS SOFTWARE IS PROVIDED BY THE AUTHORS \"AS IS\" AND ANY EXPRESS OR IMPLIED "
    "WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE IMPLIED WARRANTIES OF MERCHANTABILITY "
    "AND FITNESS FOR A PARTICULAR PURPOSE ARE DISCLAIMED. IN NO EVENT SHALL THE AUTHORS BE "
    "LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR CONSEQUENTIAL "
    "DAMAGES (INCLUDING, BUT NOT LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; "
    "LOSS OF USE, DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER CAUSED AND ON ANY "
    "THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR TORT (INCLUDING "
    "NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF "
    "ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.</p>";

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(QCoreApplication::arguments(), parent)
{
}

MainWindow::MainWindow(const QStringList& arguments, QWidget* parent)
    : QWidget(parent)
{
    spectrogramView = new SpectrogramView(&recording, this);
    spectrogramView->setObjectName("spectrogramView");
    // The only view that grows vertically: it takes the spare height of its page.
    spectrogramView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    powerView = new PowerView(&recording, this);
    powerView->setObjectName("powerView");
    amplitudeView = new AmplitudeView(&recording, this);
    amplitudeView->setObjectName("amplitudeView");
    spectrumView = new SpectrumView(&recording, this);
    spectrumView->setObjectName("spectrumView");
    // Both frequency displays start from the same FFT size and overlap.
    spectrumView->setFftSize(static_cast<int>(spectrogramView->fftSize()));
    spectrumView->setOverlap(spectrogramView->overlap());

    controlPanel = new ControlPanel(&recording, spectrogramView, powerView, amplitudeView,
                                    spectrumView, this);
    controlPanel->setObjectName("controlPanel");

    // A recording named on the command line is loaded before the window is shown;
    // a failure shows the panel's error box and the window opens empty.
    if (arguments.size() > 1)
        controlPanel->loadFile(arguments.at(1), autoFormat);

    buildFrame(controlPanel, {spectrogramView, powerView, amplitudeView}, {spectrumView});
    setAcceptDrops(true);
}

MainWindow::~MainWindow()
{
    // No computation outlives the window.
    controlPanel->stopWork();
}

void MainWindow::buildFrame(QWidget* panel, const QList<QWidget*>& timeWidgets,
                            const QList<QWidget*>& frequencyWidgets)
{
    auto* rootLayout = new QVBoxLayout;
    rootLayout->setAlignment(Qt::AlignTop);
    rootLayout->setContentsMargins(5, 5, 5, 5);
    rootLayout->setSpacing(0);

    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName("menuBar");
    QMenu* helpMenu = menuBar->addMenu("&Help");
    helpMenu->setObjectName("helpMenu");
    auto* fileFormatsAction = new QAction("&File formats", this);
    connect(fileFormatsAction, &QAction::triggered, this, &MainWindow::showFileFormats);
    helpMenu->addAction(fileFormatsAction);
    auto* aboutAction = new QAction("&About", this);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    helpMenu->addAction(aboutAction);
    auto* aboutQtAction = new QAction("About &Qt", this);
    connect(aboutQtAction, &QAction::triggered, this, &MainWindow::showAboutQt);
    helpMenu->addAction(aboutQtAction);
    rootLayout->addWidget(menuBar);

    auto* bodyLayout = new QHBoxLayout;

    auto* scrollArea = new QScrollArea(this);
    scrollArea->setObjectName("scrollArea");
    scrollArea->setWidgetResizable(true);
    scrollArea->setFixedWidth(leftColumnWidth);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (panel)
        scrollArea->setWidget(panel);
    auto* leftLayout = new QVBoxLayout;
    leftLayout->addWidget(scrollArea);

    auto* tabWidget = new QTabWidget(this);
    tabWidget->setObjectName("tabWidget");
    auto addPage = [tabWidget](const QList<QWidget*>& widgets, const char* name, const char* title) {
        auto* page = new QWidget;
        page->setObjectName(name);
        auto* pageLayout = new QVBoxLayout(page);
        for (QWidget* widget : widgets)
            pageLayout->addWidget(widget);
        tabWidget->addTab(page, title);
    };
    addPage(timeWidgets, "timePage", "Time");
    addPage(frequencyWidgets, "frequencyPage", "Frequency");

    // The readout may be longer than the window is wide: it never widens it. It
    // keeps the height of its two lines (pointer, cursors) so that the plots
    // above do not move as it changes.
    readoutLabel = new QLabel(this);
    readoutLabel->setObjectName("readoutLabel");
    readoutLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    readoutLabel->setFixedHeight(2 * readoutLabel->fontMetrics().lineSpacing() + 4);
    readoutLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    readoutLabel->setIndent(6);
    readoutLabel->setTextFormat(Qt::PlainText);
    readoutLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* rightLayout = new QVBoxLayout;
    rightLayout->addWidget(tabWidget);
    rightLayout->addWidget(readoutLabel);
    if (controlPanel)
        controlPanel->setReadoutLabel(readoutLabel);

    bodyLayout->addLayout(leftLayout);
    bodyLayout->addLayout(rightLayout);
    rootLayout->addLayout(bodyLayout);

    setLayout(rootLayout);
    setWindowTitle("Norvale");
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // The program the file came from waits for the drop to finish: load afterwards.
    QTimer::singleShot(0, controlPanel, [panel = controlPanel, path] {
        panel->loadFile(path, autoFormat);
    });
}

void MainWindow::showFileFormats()
{
    QMessageBox::about(this, "Supported file formats", fileFormatsText);
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, "About Norvale", aboutText);
}

void MainWindow::showAboutQt()
{
    QApplication::aboutQt();
}

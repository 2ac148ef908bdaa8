// The main window: the recording, the views, the panel, the menus, the splitter
// and the tabs.

#include "app/MainWindow.h"

#include "app/AnnotationEstimate.h"
#include "app/AppSettings.h"
#include "app/ExportDialog.h"
#include "annotations/AnnotationEditor.h"
#include "annotations/AnnotationPane.h"
#include "annotations/BurstFinder.h"
#include "app/ViewPages.h"
#include "app/WindowTexts.h"
#include "io/RecordingOpener.h"
#include "panel/ControlPanel.h"
#include "panel/ElidedLabel.h"
#include "session/NativePath.h"
#include "panel/MeasurementsGroup.h"
#include "panel/SignalGroup.h"
#include "session/ViewSession.h"
#include "views/AmplitudeView.h"
#include "views/SymbolStrip.h"
#include "views/TraceView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QShortcut>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr FileFormatChoice autoFormat = static_cast<FileFormatChoice>(FileFormat::Auto);
// The window's size before it is shown, unless one was kept: the views' work
// starts at the widths they will be shown at.
const QSize defaultSize(1400, 900);
constexpr int panelColumnWidth = 340;
constexpr int readoutLines = 3;
// Height of the annotation table under the plots, until its splitter is dragged.
constexpr int annotationPaneHeight = 130;

// The first local file among the dragged URLs, or an empty string.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    // The URL's percent-encoded bytes are the file's name as the system spells it.
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return pathText(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
    return {};
}

QAction* menuAction(QMenu* menu, const QString& text, QWidget* owner, const QKeySequence& keys = {})
{
    auto* action = new QAction(text, owner);
    if (!keys.isEmpty())
        action->setShortcut(keys);
    menu->addAction(action);
    return action;
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : MainWindow(QCoreApplication::arguments(), parent)
{
}

MainWindow::MainWindow(const QStringList& arguments, QWidget* parent)
    : QWidget(parent)
{
    spectrogramView = new SpectrogramView(&shownRecording, this);
    spectrogramView->setObjectName("spectrogramView");
    // The only view that grows vertically: it takes the spare height of its page.
    spectrogramView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    powerView = new PowerView(&shownRecording, this);
    powerView->setObjectName("powerView");
    amplitudeView = new AmplitudeView(&shownRecording, this);
    amplitudeView->setObjectName("amplitudeView");
    traceView = new TraceView(&shownRecording, this);
    traceView->setObjectName("traceView");
    spectrumView = new SpectrumView(&shownRecording, this);
    spectrumView->setObjectName("spectrumView");
    // Both frequency displays start from the same FFT size and overlap.
    spectrumView->setFftSize(static_cast<int>(spectrogramView->fftSize()));
    spectrumView->setOverlap(spectrogramView->overlap());

    controlPanel = new ControlPanel(&shownRecording, spectrogramView, powerView, amplitudeView,
                                    spectrumView, this, traceView);
    controlPanel->setObjectName("controlPanel");
    // The symbols of the band shown, under the trace.
    auto* symbolStrip = new SymbolStrip(session(), &shownRecording, traceView, traceView);
    symbolStrip->setObjectName("symbolStrip");
    traceView->addStrip(symbolStrip);
    annotationPane = new AnnotationPane(this);
    annotationPane->setObjectName("annotationPane");
    annotationEditor = std::make_unique<AnnotationEditor>(&shownRecording, session(), spectrogramView,
                                                          annotationPane);
    annotationEditor->setSymbolExtractor([symbolStrip](double start, double stop,
                                                       std::optional<std::pair<double, double>> band,
                                                       std::function<void(const QString&)> done) {
        symbolStrip->extractSpan(start, stop, band, std::move(done));
    });
    bursts = std::make_unique<BurstFinder>(&shownRecording, session(), annotationEditor.get(),
                                           annotationPane->burstDetectRow);
    connect(annotationEditor->undoStack(), &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });
    connect(session(), &ViewSession::recordingLoaded, this, &MainWindow::recordingLoaded);
    // Unsaved annotations are settled before another recording replaces them.
    controlPanel->setLoadGuard([this] { return annotationEditor->settleUnsavedChanges(); });
    if (AppSettings::enabled())
        controlPanel->applySettings(AppSettings::panel());

    measurementsGroup = new MeasurementsGroup(controlPanel->spectrum(), session(), spectrumView->plotWidget(), this);
    measurementsGroup->setObjectName("measurementsGroup");
    measurementsGroup->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    signalGroup = new SignalGroup(session(), this);
    signalGroup->setObjectName("signalGroup");
    signalGroup->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // E on the spectrum's plot, where no field takes the letter.
    auto* estimateKey = new QShortcut(QKeySequence(Qt::Key_E), spectrumView->plotWidget());
    estimateKey->setContext(Qt::WidgetShortcut);
    connect(estimateKey, &QShortcut::activated, signalGroup, &SignalGroup::estimate);
    auto* annotationEstimate = new AnnotationEstimate(annotationPane->annotationTable, annotationEditor->tableModel(), session(), signalGroup,
                           [this](const QString& text) {
                               return QMessageBox::question(this, QStringLiteral("Estimate"),
                                                            QStringLiteral("Write the estimate into the "
                                                                           "annotation's comment?\n\n")
                                                                + text)
                                      == QMessageBox::Yes;
                           },
                           this);
    annotationEstimate->setObjectName("annotationEstimate");
    annotationEditor->addRowAction(QStringLiteral("Estimate"), QStringLiteral("estimateAnnotationAction"),
                                   [annotationEstimate](std::size_t row) {
                                       annotationEstimate->estimateRow(static_cast<int>(row));
                                   });
    buildFrame(controlPanel, {spectrogramView, traceView, powerView, amplitudeView},
               {spectrumView, measurementsGroup, signalGroup});
    setAcceptDrops(true);
    if (!AppSettings::windowGeometry().isEmpty())
        restoreGeometry(AppSettings::windowGeometry());
    else
        resize(defaultSize);
    if (!AppSettings::splitterState().isEmpty())
        splitter->restoreState(AppSettings::splitterState());
    layout()->activate();

    // A recording named on the command line is loaded before the window is shown;
    // a failure shows the panel's error box and the window opens empty.
    if (arguments.size() > 1)
        controlPanel->loadFile(arguments.at(1), autoFormat);
}

ViewSession* MainWindow::session() const
{
    return controlPanel->session();
}

MainWindow::~MainWindow()
{
    // No computation outlives the window.
    controlPanel->stopWork();
    controlPanel->setLoadGuard(nullptr);
}

void MainWindow::buildMenus(QWidget* menuParent, QVBoxLayout* rootLayout)
{
    auto* menuBar = new QMenuBar(menuParent);
    menuBar->setObjectName("menuBar");
    QMenu* fileMenu = menuBar->addMenu("&File");
    fileMenu->setObjectName("fileMenu");
    connect(menuAction(fileMenu, "&Open...", this, QKeySequence::Open), &QAction::triggered,
            controlPanel, &ControlPanel::openFile);
    recentMenu = fileMenu->addMenu("Open &Recent");
    recentMenu->setObjectName("recentMenu");
    fillRecentMenu();
    fileMenu->addSeparator();
    connect(menuAction(fileMenu, "&Save annotations", this, QKeySequence::Save), &QAction::triggered,
            this, [this] { annotationEditor->save(); });
    connect(menuAction(fileMenu, "&Export selection...", this, QKeySequence(Qt::CTRL | Qt::Key_E)),
            &QAction::triggered, this, &MainWindow::exportSelection);
    connect(menuAction(fileMenu, "Save &picture...", this), &QAction::triggered, this,
            &MainWindow::savePicture);
    connect(menuAction(fileMenu, "&Copy picture", this), &QAction::triggered, this,
            &MainWindow::copyPicture);
    fileMenu->addSeparator();
    connect(menuAction(fileMenu, "Reset &settings", this), &QAction::triggered, this,
            &MainWindow::resetSettings);
    connect(menuAction(fileMenu, "&Quit", this, QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, this, &QWidget::close);

    buildEditMenu(menuBar);

    QMenu* helpMenu = menuBar->addMenu("&Help");
    helpMenu->setObjectName("helpMenu");
    connect(menuAction(helpMenu, "&File formats", this), &QAction::triggered, this,
            &MainWindow::showFileFormats);
    connect(menuAction(helpMenu, "&Mouse and keys", this), &QAction::triggered, this,
            &MainWindow::showMouseAndKeys);
    connect(menuAction(helpMenu, "&About", this), &QAction::triggered, this, &MainWindow::showAbout);
    connect(menuAction(helpMenu, "About &Qt", this), &QAction::triggered, this,
            &MainWindow::showAboutQt);
    rootLayout->addWidget(menuBar);

    // Back, forward and the whole recording wherever the focus is.
    const std::pair<QKeySequence, void (ControlPanel::*)()> keys[] = {
        {QKeySequence(Qt::ALT | Qt::Key_Left), &ControlPanel::goBack},
        {QKeySequence(Qt::ALT | Qt::Key_Right), &ControlPanel::goForward},
        {QKeySequence(Qt::CTRL | Qt::Key_Home), &ControlPanel::showWholeRecording}};
    for (const auto& [sequence, step] : keys) {
        auto* action = new QAction(this);
        action->setShortcut(sequence);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, controlPanel, step);
        addAction(action);
    }
}

void MainWindow::buildEditMenu(QMenuBar* menuBar)
{
    QMenu* editMenu = menuBar->addMenu("&Edit");
    editMenu->setObjectName("editMenu");
    AnnotationEditor* editor = annotationEditor.get();
    undoAction = menuAction(editMenu, "&Undo", this, QKeySequence(Qt::CTRL | Qt::Key_Z));
    undoAction->setObjectName("undoAction");
    connect(undoAction, &QAction::triggered, this, [editor] { editor->undo(); });
    redoAction = menuAction(editMenu, "&Redo", this);
    redoAction->setObjectName("redoAction");
    redoAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(redoAction, &QAction::triggered, this, [editor] { editor->redo(); });
    // Each entry names the change it takes back or makes again ("Undo Add annotation").
    connect(editor->undoStack(), &QUndoStack::undoTextChanged, undoAction, [this](const QString& what) {
        undoAction->setText(what.isEmpty() ? "&Undo" : "&Undo " + what);
    });
    connect(editor->undoStack(), &QUndoStack::redoTextChanged, redoAction, [this](const QString& what) {
        redoAction->setText(what.isEmpty() ? "&Redo" : "&Redo " + what);
    });
    editMenu->addSeparator();
    connect(menuAction(editMenu, "&Add annotation", this, QKeySequence(Qt::Key_A)), &QAction::triggered,
            this, [editor] { editor->addFromView(); });
    // Delete acts while the table has the focus, not in the panel's fields.
    QAction* remove = menuAction(editMenu, "&Delete annotations", this, QKeySequence(Qt::Key_Delete));
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    annotationPane->addAction(remove);
    connect(remove, &QAction::triggered, this, [editor] { editor->deleteSelected(); });
    connect(menuAction(editMenu, "&Next annotation", this, QKeySequence(Qt::Key_N)), &QAction::triggered,
            this, [editor] { editor->selectNext(); });
    connect(menuAction(editMenu, "Detect &bursts", this, QKeySequence(Qt::Key_D)), &QAction::triggered, this,
            [this] { bursts->detectOrCancel(); });
    previousAnnotationAction = menuAction(editMenu, "&Previous annotation", this, QKeySequence(Qt::Key_P));
    connect(previousAnnotationAction, &QAction::triggered, this, [editor] { editor->selectPrevious(); });
}

void MainWindow::buildFrame(QWidget* panel, const QList<QWidget*>& timeWidgets,
                            const QList<QWidget*>& frequencyWidgets)
{
    auto* rootLayout = new QVBoxLayout;
    rootLayout->setContentsMargins(5, 5, 5, 5);
    rootLayout->setSpacing(0);
    buildMenus(this, rootLayout);

    auto* scrollArea = new QScrollArea(this);
    scrollArea->setObjectName("scrollArea");
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setWidget(panel);
    // The column never narrower than the panel's rows need beside its scroll bar:
    // a narrow window squeezes the plots, never cuts the panel.
    scrollArea->setMinimumWidth(panel->minimumSizeHint().width() + scrollArea->verticalScrollBar()->sizeHint().width()
                                + 2 * scrollArea->frameWidth());

    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName("tabWidget");
    // Each page scrolls when its plots need more height than the window has, so
    // showing or hiding a view never resizes the window.
    auto addPage = [this](const QList<QWidget*>& widgets, const char* name, const char* title) {
        QWidget* page = viewPage(widgets, name);
        auto* scroller = new QScrollArea;
        scroller->setObjectName(QString(name) + "Scroller");
        scroller->setWidgetResizable(true);
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setWidget(page);
        tabWidget->addTab(scroller, title);
    };
    addPage(timeWidgets, "timePage", "Time");
    addPage(frequencyWidgets, "frequencyPage", "Frequency");
    // P is the spectrum's peak key on the Frequency tab, the previous annotation elsewhere.
    connect(tabWidget, &QTabWidget::currentChanged, this, [this](int tab) {
        previousAnnotationAction->setShortcut(tab == 1 ? QKeySequence() : QKeySequence(Qt::Key_P));
    });

    // The readout keeps the height of its three lines (pointer, cursors, what they
    // measure) so that the plots above do not move as it changes; lines too long are cut.
    readoutLabel = new ElidedLabel(QString(), this);
    readoutLabel->setObjectName("readoutLabel");
    readoutLabel->setFixedHeight(readoutLines * readoutLabel->fontMetrics().lineSpacing() + 4);
    readoutLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    readoutLabel->setIndent(6);
    readoutLabel->setTextFormat(Qt::PlainText);
    auto* plots = new QWidget(this);
    auto* plotsLayout = new QVBoxLayout(plots);
    plotsLayout->setContentsMargins(0, 0, 0, 0);
    plotsLayout->addWidget(tabWidget);
    plotsLayout->addWidget(readoutLabel);
    controlPanel->setReadoutLabel(readoutLabel);
    // The annotation table under the readout, its height set by a splitter.
    plotSplitter = new QSplitter(Qt::Vertical, this);
    plotSplitter->setObjectName("plotSplitter");
    plotSplitter->setChildrenCollapsible(false);
    plotSplitter->addWidget(plots);
    plotSplitter->addWidget(annotationPane);
    plotSplitter->setStretchFactor(0, 1);
    plotSplitter->setStretchFactor(1, 0);
    plotSplitter->setSizes({defaultSize.height() - annotationPaneHeight, annotationPaneHeight});
    QWidget* right = plotSplitter;

    // The panel's column can be widened by dragging the splitter's handle.
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("splitter");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(scrollArea);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({panelColumnWidth, defaultSize.width() - panelColumnWidth});
    rootLayout->addWidget(splitter, 1);

    setLayout(rootLayout);
    setWindowTitle("Norvale");
}

QWidget* MainWindow::pageOf(int tab) const
{
    auto* scroller = static_cast<QScrollArea*>(tabWidget->widget(tab));
    return scroller->widget();
}

QImage MainWindow::timePicture() const
{
    return pageOf(0)->grab().toImage();
}

QImage MainWindow::frequencyPicture() const
{
    return pageOf(1)->grab().toImage();
}

QImage MainWindow::picture() const
{
    return pageOf(tabWidget->currentIndex())->grab().toImage();
}

QSize MainWindow::windowSizeForPage(const QSize& page) const
{
    const QSize shown = tabWidget->widget(0)->size();
    return size() + (page - shown);
}

void MainWindow::savePicture()
{
    // Named after the recording and the tab, beside the recording.
    const QString tab = tabWidget->currentIndex() == 0 ? QStringLiteral("time") : QStringLiteral("frequency");
    const QFileInfo source(shownRecording.info().files.empty()
                               ? QString()
                               : shownPath(pathText(shownRecording.info().files.front())));
    const QString suggestion = shownRecording.isLoaded() && source.exists()
                                   ? source.absoluteDir().filePath(source.completeBaseName() + "-" + tab + ".png")
                                   : tab + ".png";
    QFileDialog chooser(this, "Save picture", QString(), "PNG (*.png)");
    chooser.setObjectName("pictureFileDialog");
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setDefaultSuffix("png");
    chooser.selectFile(suggestion);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    QString path = chooser.selectedFiles().front();
    if (!path.endsWith(".png", Qt::CaseInsensitive))
        path += ".png";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture().save(&file, "PNG") || !file.commit())
        QMessageBox::critical(nullptr, "Error", "Cannot write " + path + ": " + file.errorString());
}

void MainWindow::copyPicture()
{
    QGuiApplication::clipboard()->setImage(picture());
}

void MainWindow::exportSelection()
{
    if (!shownRecording.isLoaded()) {
        QMessageBox::critical(nullptr, "Error", "No recording is open");
        return;
    }
    const QFileInfo source(shownRecording.info().files.empty()
                               ? QString()
                               : shownPath(pathText(shownRecording.info().files.front())));
    // What was typed last stays, even through a failed export; first a name beside the recording.
    const QString suggestion =
        !lastExportPath.isEmpty() || shownRecording.info().files.empty()
            ? lastExportPath
            : source.absoluteDir().filePath(source.completeBaseName() + QStringLiteral("-selection.sigmf-meta"));
    ExportDialog dialog(source.absolutePath(), suggestion, lastExportBand, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    lastExportPath = dialog.path();
    lastExportBand = dialog.onlyBand();
    controlPanel->exportSelection(dialog.path(), dialog.onlyBand(), [this, path = dialog.path()](const QString& failure) {
        if (failure.isEmpty())
            QMessageBox::information(this, "Export selection", "The selection was written to " + path);
    });
}

void MainWindow::recordingLoaded(const QString& path)
{
    annotationEditor->recordingLoaded();
    setWindowTitle(shownFileName(path) + QStringLiteral("[*] \u2014 Norvale"));
    AppSettings::addRecent({absolutePathText(path), controlPanel->formatChoice(),
                            controlPanel->datatypeText(), controlPanel->sampleRateText()});
    fillRecentMenu();
}

void MainWindow::fillRecentMenu()
{
    recentMenu->clear();
    const QList<RecentRecording> recent = AppSettings::recent();
    for (const RecentRecording& entry : recent) {
        QAction* action = recentMenu->addAction(shownFileName(entry.path));
        action->setToolTip(shownPath(entry.path));
        connect(action, &QAction::triggered, this, [this, entry] {
            controlPanel->openWith(entry.path, entry.format, entry.datatype, entry.rate);
        });
    }
    recentMenu->setEnabled(!recent.isEmpty());
}

void MainWindow::resetSettings()
{
    AppSettings::reset();
    controlPanel->applySettings(PanelSettings{});
    resize(defaultSize);
    splitter->setSizes({panelColumnWidth, width() - panelColumnWidth});
    fillRecentMenu();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!annotationEditor->settleUnsavedChanges()) {
        event->ignore();
        return;
    }
    AppSettings::setWindow(saveGeometry(), splitter->saveState());
    AppSettings::setPanel(controlPanel->settings());
    QWidget::closeEvent(event);
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

void MainWindow::showMouseAndKeys()
{
    QMessageBox::about(this, "Mouse and keys", mouseAndKeysText);
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, "About Norvale", aboutText);
}

void MainWindow::showAboutQt()
{
    QApplication::aboutQt();
}

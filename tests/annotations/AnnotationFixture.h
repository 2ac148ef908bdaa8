#pragma once
// Test helper: the real window with its annotation table, a recording of ten
// seconds at 1000 samples/s to annotate, and readers of the table and the files.

#include "annotations/AnnotationEditor.h"
#include "annotations/AnnotationTableModel.h"
#include "tests/io/IoTestFiles.h"
#include "tests/panel/PanelFixture.h"

#include <QTableView>
#include <QTest>

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

inline std::string fileText(const QString& path)
{
    return fileText(path.toStdString());
}

class AnnotationFixture : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        window->resize(1400, 1150);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    AnnotationEditor* editor() const { return window->annotations(); }
    QTableView* table() const { return widget<QTableView>("annotationTable"); }
    // Each row's cells joined by '|'.
    QStringList tableRows() const
    {
        QStringList out;
        const AnnotationTableModel* model = editor()->tableModel();
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model->columnCount(); ++column)
                cells << model->cellText(row, column);
            out << cells.join('|');
        }
        return out;
    }
    // Types text into a cell as its editor would commit it; the boxes it opened.
    std::vector<CapturedMessageBox> edit(int row, int column, const QString& text)
    {
        return captureMessageBoxes([&] {
            AnnotationTableModel* model = editor()->tableModel();
            model->setData(model->index(row, column), text);
            QApplication::processEvents();
            waitForPanel(panel);
        });
    }
    std::vector<CapturedMessageBox> key(int code, Qt::KeyboardModifiers keys = {})
    {
        return captureMessageBoxes([&] {
            QTest::keyClick(window.get(), static_cast<Qt::Key>(code), keys);
            waitForPanel(panel);
        });
    }
    // A pair with `annotations` (a JSON array's text) over ten seconds of a tone.
    QString pair(const QString& base, const std::string& annotations,
                 const std::string& captures = R"([{"core:sample_start": 0, "core:frequency": 100000000}])")
    {
        const QString meta = sigmf(base, 1000, 10.0, 50.0);
        recordingfiles::writeBytes(meta, R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1000,
            "x:note": {"b": 2, "a": 1}, "core:version": "1.0.0"}, "captures": )"
                                             + captures + R"(, "annotations": )" + annotations
                                             + R"(, "y:after": [1, 2]})");
        return meta;
    }
};

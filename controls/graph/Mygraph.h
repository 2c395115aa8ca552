#pragma once
// Mygraph: a sweeping recorder control. It draws up to nine sampled traces
// from left to right across a grid into a persistent image of its own size
// and shows that image on screen.
//
// Colours are 0x00BBGGRR values; 0x800000nn names a system colour.

#include "controls/common/PropertyBag.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tervalo {

// The graph's stored defaults: what a new control starts with, what
// InitProperties restores and what WriteProperties leaves out.
namespace GraphDefaults {
constexpr std::uint8_t kGridSayisi = 10;
constexpr std::int16_t kZeroPoint = 2;
constexpr std::int32_t kYmax = 10;
constexpr std::int32_t kTimeDivision = 100;
constexpr std::int32_t kXaxisMax = 10;
constexpr std::uint32_t kGridColor = 0x00E0E0E0u;
constexpr std::uint32_t kLabelColor = 0x00FF0000u;
constexpr std::uint32_t kBackColor = 0x00FFFFFFu;
constexpr std::uint32_t kXYsidegridColor = 0x00000000u;
constexpr std::uint32_t kRefLineColor = 0x000000FFu;
constexpr std::array<std::uint32_t, 9> kGraphColor = {
    0x000000FFu, 0x00FF0000u, 0x0000FF00u, 0x00FFFF00u, 0x00FF00FFu, 0x0000FFFFu, 0x80000001u, 0x000080FFu, 0x00004080u,
};
constexpr const char *kYlabel = "YLabel";
constexpr const char *kXlabel = "XLabel";
} // namespace GraphDefaults

class Mygraph : public QWidget {
    Q_OBJECT
public:
    explicit Mygraph(QWidget *parent = nullptr);

    // Public operations.
    // SaveGraph writes the picture as a bitmap named after the UTC time into
    // saveFolder(); a failure raises RuntimeError 75 naming path and reason.
    // PlotGraph1 adds one sample; it raises 11 (XaxisMax 0) or 6 (XaxisMax *
    // 1000, or a value whose pixel row is beyond 32 bits) before drawing, and
    // passes on a failed save with the sweep held at its end.
    // Setters whose argument does not fit the property's type raise 6.
    void SaveGraph();
    void PlotGraph1(double Data1, double Data2, double Data3, double Data4, double Data5, double Data6, double Data7,
                    double Data8, double Data9, std::int16_t DataPlot_1_to_9);
    void Resetle();

    std::uint8_t GridSayisi() const;
    void setGridSayisi(int New_GrdX);
    std::int16_t ZeroPoint() const;
    void setZeroPoint(int Karenoktasi);
    std::int32_t Ymax() const;
    void setYmax(std::int32_t New_Val);
    std::int32_t TimeDivision() const;
    void setTimeDivision(std::int32_t Milisecond);
    std::int32_t XaxisMax() const;
    void setXaxisMax(std::int32_t second);
    std::uint32_t GridColor() const;
    void setGridColor(std::uint32_t New_Val);
    std::uint32_t RefLineColor() const;
    void setRefLineColor(std::uint32_t New_Val);
    std::uint32_t GraphColor(int k) const; // k = 1..9
    void setGraphColor(int k, std::uint32_t New_Val);
    std::uint32_t LabelColor() const;
    void setLabelColor(std::uint32_t New_Val);
    std::uint32_t BackColor() const;
    void setBackColor(std::uint32_t New_Val);
    std::uint32_t XYsidegridColor() const;
    void setXYsidegridColor(std::uint32_t New_Val);
    bool AutoSaveGraph() const;
    void setAutoSaveGraph(bool New_Val);
    QString Ylabel() const;
    void setYlabel(const QString &New_txt);
    QString Xlabel() const;
    void setXlabel(const QString &New_txt);
    QString GraphCaption(int k) const; // k = 1..9
    void setGraphCaption(int k, const QString &New_txt);

    // Named forms used by the host
    void setGraph1Caption(const QString &t) { setGraphCaption(1, t); }
    void setGraph2Caption(const QString &t) { setGraphCaption(2, t); }
    void setGraph3Caption(const QString &t) { setGraphCaption(3, t); }
    void setGraph4Caption(const QString &t) { setGraphCaption(4, t); }
    void setGraph5Caption(const QString &t) { setGraphCaption(5, t); }
    void setGraph6Caption(const QString &t) { setGraphCaption(6, t); }
    void setGraph7Caption(const QString &t) { setGraphCaption(7, t); }
    void setGraph8Caption(const QString &t) { setGraphCaption(8, t); }
    void setGraph9Caption(const QString &t) { setGraphCaption(9, t); }
    QString Graph1Caption() const { return GraphCaption(1); }
    QString Graph2Caption() const { return GraphCaption(2); }
    QString Graph3Caption() const { return GraphCaption(3); }

    double RefValue = 0;
    // A step of the reference during a sweep: the line takes the new value
    // from the last sample drawn on, with a vertical step there, and what is
    // drawn left of it stays. Before the first sample of a sweep the value is
    // only stored (the sweep's start draws it).
    void stepRefValue(double value);

    // Stored settings. Reading raises 6 for an entry out of its type's range
    // and 13 for one that is not a number; grid count, zero point and Ymax
    // are limited as their setters limit them.
    void InitProperties();
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    const QImage &picture() const;

    // Saving: the folder pictures are written to (empty: the folder of the
    // program's executable) and the clock that names them (UTC).
    void setSaveFolder(const QString &folder) { saveFolder_ = folder; }
    QString saveFolder() const;
    void setClock(std::function<QDateTime()> utcClock);
    static QString saveFileName(const QDateTime &utc); // "3_9_2026_14_5_7.jpeg"

    // Sweep state, read-only.
    double sweepPosition() const { return sweepX; }
    std::int32_t sweepsStarted() const { return sweepCount; }
    QPoint lastPointOf(int k) const; // k = 1..9

signals:
    void PropertyChanged(const QString &name);
    // A picture was written by SaveGraph, to this path.
    void GraphSaved(const QString &path);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    struct TextRect {
        std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    };
    struct Scale {
        double S = 0, T = 0, zeroY = 0;
    };

    void DrawGrid();
    void RedrawGrid();
    void Resize();
    void syncSize();
    void applyBackColour();
    void notify(const char *name);

    Scale scale() const;
    std::int32_t rowOf(double v, const Scale &sc) const;
    bool plotAreaUsable() const { return widthPx > 30 && heightPx > 30; }

    void line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t colour);
    void text(const QString &s, std::uint32_t colour); // into textRect
    // The pixels a text covers in a rectangle of the given size, from its
    // top-left corner; nullptr for rectangles too large to keep.
    const std::vector<QPoint> *textPixels(const QString &t, int width, int height);
    void drawCaption(int k, const QString &s, std::uint32_t colour);
    std::uint32_t captionColour(int k) const;

    // properties
    std::uint8_t gridSayisi_ = GraphDefaults::kGridSayisi;
    std::int16_t zeroPoint_ = GraphDefaults::kZeroPoint;
    std::int32_t ymax_ = GraphDefaults::kYmax;
    std::int32_t timeDivision_ = GraphDefaults::kTimeDivision;
    std::int32_t xaxisMax_ = GraphDefaults::kXaxisMax;
    std::uint32_t gridColor_ = GraphDefaults::kGridColor;
    std::uint32_t labelColor_ = GraphDefaults::kLabelColor;
    std::uint32_t xySideGridColor_ = GraphDefaults::kXYsidegridColor;
    std::uint32_t backColor_ = GraphDefaults::kBackColor;
    std::uint32_t refLineColor_ = GraphDefaults::kRefLineColor;
    std::array<std::uint32_t, 9> graphColor_ = GraphDefaults::kGraphColor;
    bool autoSaveGraph_ = false;
    QString ylabel_ = QLatin1String(GraphDefaults::kYlabel);
    QString xlabel_ = QLatin1String(GraphDefaults::kXlabel);
    std::array<QString, 9> caption_;

    // drawing state
    std::int32_t widthPx = 0;
    std::int32_t heightPx = 0;
    double zeroLineOffset = 0;
    double sweepX = 0;
    std::int32_t sweepCount = 0;
    std::array<QPoint, 9> lastPoint{};
    double lastData1 = 0;
    TextRect textRect;

    QImage image_;
    QHash<QString, std::vector<QPoint>> textCache_;
    QRect dirty_;
    bool sized_ = false;

    QString saveFolder_;
    std::function<QDateTime()> clock_;
};

} // namespace tervalo

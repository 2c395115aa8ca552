#pragma once
// Mygraph: a sweeping recorder control. It draws up to nine sampled traces
// from left to right across a grid into a persistent image of its own size
// and shows that image on screen.
//
// Colours are 0x00BBGGRR values; 0x800000nn names a system colour.

#include "controls/common/PropertyBag.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>

namespace tervalo {

class Mygraph : public QWidget {
    Q_OBJECT
public:
    explicit Mygraph(QWidget *parent = nullptr);

    // Public operations
    void SaveGraph();
    void PlotGraph1(double Data1, double Data2, double Data3, double Data4, double Data5,
                    double Data6, double Data7, double Data8, double Data9,
                    std::int16_t DataPlot_1_to_9);
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
    std::uint32_t GraphColor(int k) const;          // k = 1..9
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
    QString GraphCaption(int k) const;               // k = 1..9
    void setGraphCaption(int k, const QString &New_txt);

    // Named forms used by the host
    void setGraph1Caption(const QString &t) { setGraphCaption(1, t); }
    void setGraph2Caption(const QString &t) { setGraphCaption(2, t); }
    void setGraph3Caption(const QString &t) { setGraphCaption(3, t); }
    void setGraph4Caption(const QString &t) { setGraphCaption(4, t); }
    void setGraph5Caption(const QString &t) { setGraphCaption(5, t); }
    void setGraph6Caption(const QString &t) { setGraphCaption(6, t); }
    QString Graph1Caption() const { return GraphCaption(1); }

    double RefValue = 0;

    // Stored settings
    void InitProperties();
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    const QImage &picture() const;

signals:
    void PropertyChanged(const QString &name);

private:
    QImage image_;
};

} // namespace tervalo

#pragma once
// The window's bitmaps, drawn at run time: title and bottom strips, side
// strips, the title-strip buttons, the window icon, the plant pictures with
// their animation frames, the block pictures of the controller panels and
// the background of the open-loop panel.

#include <QImage>
#include <QPixmap>

namespace tervalo {

class Pictures {
public:
    static QPixmap titleStrip(int width, int height);
    static QPixmap bottomStrip(int width, int height);
    static QPixmap bottomInner(int width, int height);
    static QPixmap sideStrip(int width, int height);
    static QPixmap minimiseButton(int width, int height);
    static QPixmap closeButton(int width, int height);
    static QPixmap icon(int size); // 16 or 32 pixels square

    // Plant pictures, 58 x 96 pixels: the DC motor with its rotor mark at
    // frame x 90 degrees (frame 0..3), and the generator of the simulation.
    static QPixmap motorFrame(int frame);
    static QPixmap generator();

    // Block pictures of the controller panels.
    static QPixmap integratorBlock(int width, int height); // Ki / s
    static QPixmap piBlock(int width, int height);         // Kp + Ki / s
    static QPixmap pidBlock(int width, int height);        // Kp + Ki / s + Kd s

    // The open-loop panel's background, 310 x 255 pixels.
    static QPixmap ledPanel();

    // The About window's picture.
    static QPixmap aboutPicture(int width, int height);

    static constexpr int kPlantWidth = 58;
    static constexpr int kPlantHeight = 96;
};

} // namespace tervalo

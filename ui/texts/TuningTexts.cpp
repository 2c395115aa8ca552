#include "ui/texts/TuningTexts.h"

#include "ui/texts/TextPair.h"

#include <array>
#include <cstddef>

namespace tervalo {

namespace {

// In the order of TuneText.
const std::array<TextPair, static_cast<std::size_t>(TuneText::Count)> kTexts{{
    {"Control surface…", "Kontrol yüzeyi…"},
    {"Fuzzy control surface", "Bulanık kontrol yüzeyi"},
    {"error e (%1)", "hata e (%1)"},
    {"error change de (%1)", "hata değişimi de (%1)"},
    {"dU (U units)", "dU (U birimi)"},
    {"Save PNG…", "PNG kaydet…"},
    {"Save CSV…", "CSV kaydet…"},
    {"Saved: %1", "Kaydedildi: %1"},
    {"Could not save %1", "Kaydedilemedi: %1"},
    {"The surface cannot be computed: %1", "Yüzey hesaplanamıyor: %1"},
    {"last cycle", "son çevrim"},
    {"Tune…", "Ayarla…"},
    {"Identify the plant and tune the gains", "Sistemi tanı ve kazançları ayarla"},
    {"Plant: %1", "Sistem: %1"},
    {"simulation", "simülasyon"},
    {"kit", "deney seti"},
    {"U1 (held)", "U1 (tutulan)"},
    {"U2 (step to)", "U2 (basamak)"},
    {"steady within (%1)", "oturma bandı (%1)"},
    {"How far the speed may spread over 10 cycles and still count as steady; 0: automatic "
     "(2 counts or 1 % of the speed). Widen it when the measured speed jitters.",
     "Hızın 10 çevrim boyunca ne kadar yayılıp yine oturmuş sayılacağı; 0: otomatik "
     "(2 sayım ya da hızın %1'i). Ölçülen hız titriyorsa genişletin."},
    {"Bump test", "Basamak testi"},
    {"Bump test running: cycle %1", "Basamak testi sürüyor: çevrim %1"},
    {"Bump test done in %1 cycles.", "Basamak testi %1 çevrimde bitti."},
    {"The bump test was stopped before it finished.", "Basamak testi bitmeden durduruldu."},
    {"A run is in progress; stop it first.", "Bir çalışma sürüyor; önce durdurun."},
    {"Model", "Model"},
    {"gain K (%1 per actuator unit)", "kazanç K (eyleyici birimi başına %1)"},
    {"time constant τ (s)", "zaman sabiti τ (s)"},
    {"dead time L (s)", "ölü zaman L (s)"},
    {"offset (%1)", "ofset (%1)"},
    {"rmse (%1)", "rmse (%1)"},
    {"The speed never settled.", "Hız hiç oturmadı."},
    {"The step is too small to see over the count resolution.",
     "Basamak, sayım çözünürlüğüne göre görülemeyecek kadar küçük."},
    {"No model fits the response.", "Yanıta uyan bir model yok."},
    {"U1 and U2 must differ and lie within the actuator's range.",
     "U1 ve U2 farklı olmalı ve eyleyici aralığında kalmalı."},
    {"Try a larger step: U2 = %1.", "Daha büyük bir basamak deneyin: U2 = %1."},
    {"measured", "ölçülen"},
    {"model", "model"},
    {"residual", "artık"},
    {"time from the step (s)", "basamaktan sonraki zaman (s)"},
    {"speed (%1)", "hız (%1)"},
    {"residual (%1)", "artık (%1)"},
    {"Law", "Kontrol yasası"},
    {"Overshoot limit (%)", "Aşım sınırı (%)"},
    {"Suggest gains", "Kazanç öner"},
    {"Identify the plant first: no model is fitted.", "Önce sistemi tanıyın: uydurulmuş bir model yok."},
    {"No gains found: %1", "Kazanç bulunamadı: %1"},
    {"Apply", "Uygula"},
    {"Run", "Çalıştır"},
    {"predicted", "öngörülen"},
    {"measured run", "ölçülen çalışma"},
    {"time (s)", "zaman (s)"},
    {"Figure", "Ölçüt"},
    {"Value", "Değer"},
    {"Gains applied to the %1 panel.", "Kazançlar %1 paneline uygulandı."},
    {"%1 is 0: for this plant a pure %2 law gives the least IAE within the overshoot limit.",
     "%1 = 0: bu sistemde aşım sınırı içinde en küçük IAE'yi yalın %2 yasası veriyor."},
    {"%1 is at its bar's maximum (%2): the bar limits it; a larger value might do better.",
     "%1 çubuğun üst sınırında (%2): çubuk sınırlıyor; daha büyük bir değer daha iyi olabilirdi."},
}};
} // namespace

QString tuneText(TuneText t, bool english)
{
    return kTexts[static_cast<std::size_t>(t)].in(english);
}

} // namespace tervalo

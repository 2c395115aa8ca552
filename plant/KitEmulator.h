#pragma once
// The kit on the parallel port, emulated at the register level: what the
// program writes to the data and control registers drives a DC motor with
// a generator on its shaft, and the speed sensor's line is read back on the
// status register. It stands in for the kit where there is none (most
// students' PCs, CI, development) and behaves like it through the same
// port calls, the same actuator word and the same counting loop.
//
// The actuator word (12 bits) is the one the kit's connector sees: data
// register bits 7..0 are W11..W4, control register bits 3..0 XOR 11 are
// W3..W0 (the port inverts control lines 0, 1 and 3); the upper four control
// bits are not wired to the kit and are ignored. Before the first write the
// kit sees the all-zero word.
//
// Motor. The speed follows the actuator value u through a first-order lag
// towards its steady state
//
//     S(u) = max(0, RpmPerStep * max(0, u - DeadZone) - LoadDrop)
//
// where LoadDrop = load torque * FullSpeed, the load torque being a share
// of the motor's full drive torque (the torque at u = 4095) and FullSpeed
// the unloaded steady speed at u = 4095. Below the dead zone the drive
// does not overcome the brushes' and bearings' friction and the motor
// stands still. The lag is solved exactly from the last moment anything
// changed (a write, a load change, a new draw of the noise, and once a
// second of the clock's time to keep the numbers small), however far
// apart the port accesses are.
//
// Sensor. One status line toggles with the motor's angle, 60 changes per
// revolution: at S rpm it changes S times a second, so that the program's
// count of changes in 200 ms, times 5, reads S. It is wired to the BUSY
// line (status bit 7), which the port inverts; the other input lines are
// left open and read 1, as a real port's do. An optional measurement noise
// scales the speed the sensor sees by (1 + n), n drawn from a normal
// distribution of the given standard deviation and held for noiseHold; the
// draws come from a seeded generator whose output is the same on every
// platform, and they are tied to the clock's time, so a run on the virtual
// clock repeats exactly.
//
// The moments at which the sensor line changes are found from that
// solution, one after the other as time reaches them, and a status read
// returns the line as the changes up to its moment have left it. So a read
// costs a comparison, and a stretch of reads on the virtual clock
// (sampleStretch) costs only the changes that fall inside it, with the
// outcome the same reads made one by one would have.
//
// Time comes from a KitClock: the machine's steady clock in the program, a
// virtual clock that advances by 1 us per status read in tests and in the
// simulator. Nothing blocks.

#include "plant/KitClock.h"
#include "plant/PortDriver.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace tervalo {

// Every constant of the emulated kit. The defaults make the kit-mode
// minimum 1300 barely turn the motor (90 rpm), 2000 give 1350 rpm, the
// highest reference 2000 rpm need u = 2361 and 4095 give 5121 rpm.
struct KitModel {
    double deadZone = 1250;    // actuator value the motor needs to start turning
    double rpmPerStep = 1.8;   // steady-state rpm per actuator step above the dead zone
    double timeConstant = 0.3; // s, of the speed's first-order lag
    double noise = 0;          // standard deviation of n (0.01: 1 %); 0: no noise
    std::uint64_t noiseSeed = 1;
    std::chrono::nanoseconds noiseHold = std::chrono::milliseconds(10);
};

class KitEmulator final : public PortDriver {
public:
    using Model = KitModel;

    static constexpr int MaxWord = 4095;
    static constexpr std::uint8_t ControlInversion = 11;
    static constexpr int ChangesPerRevolution = 60;
    static constexpr std::uint8_t SensorLine = 0x80; // BUSY, status bit 7, inverted by the port
    static constexpr std::uint8_t IdleStatus = 0x7F; // open lines read 1; an open BUSY line reads 0
    static constexpr int HighestLoadLevel = 30;

    explicit KitEmulator(KitClock &clock, std::int32_t base = 888);
    KitEmulator(KitClock &clock, std::int32_t base, const KitModel &model);

    // Data (base) and control (base + 2) are written; status (base + 1) is
    // read, and data and control read back their last byte. Any other
    // address throws PortError.
    void DlPortWritePortUchar(std::int32_t port, std::uint8_t value) override;
    std::uint8_t DlPortReadPortUchar(std::int32_t port) override;
    void sampleStretch(std::int32_t port, std::uint64_t reads, StatusSamples &samples) override;

    // The 12-bit word the kit sees for these register bytes.
    static int decodeWord(std::uint8_t data, std::uint8_t control)
    {
        return (int(data) << 4) | ((control ^ ControlInversion) & 0x0F);
    }
    int actuatorWord() const { return decodeWord(data_, control_); }

    // Steady speed (rpm) for actuator value u at the present load torque.
    double steadySpeed(int u) const;
    // Steady speed for the word on the lines now.
    double steadySpeed() const { return target_; }
    // True speed of the motor (rpm) at the clock's present time.
    double speed();
    // The unloaded steady speed at full drive (u = 4095).
    double fullSpeed() const;

    // Load torque as a share of the motor's full drive torque: 0 no load,
    // 0.1 takes 10 % of FullSpeed off every steady speed; 1 or more stalls
    // the motor at any drive. Negative shares count as 0.
    void setLoadTorque(double share);
    double loadTorque() const { return load_; }
    // The simulator's load slider (1..30) as a load torque: level L is
    // (L - 1) % of the full drive torque, so level 1 is no load and each
    // step takes 1 % of FullSpeed (51 rpm) off. Levels outside 1..30 are
    // held to that range.
    static double loadTorqueForLevel(int level);
    // The load torque of a slider level.
    void setLoadLevel(int level) { setLoadTorque(loadTorqueForLevel(level)); }

    const Model &model() const { return model_; }
    std::int32_t base() const { return base_; }
    std::uint64_t statusReads() const { return statusReads_; }

private:
    // The solution holds from anchorTime_ on; x is seconds after it.
    struct Motion {
        double travel; // sensor changes since the anchor, before noise
        double speed;  // rpm
    };
    Motion motionAt(double x) const;
    double seconds(std::int64_t t) const { return double(t - anchorTime_) * 1e-9; }
    // Seconds after the anchor at which travel reaches d, starting from x0,
    // where travel is below d; infinity when it never does.
    double reachTime(double d, double x0) const;

    // Takes every change of the line and every re-basing due at or before t.
    void catchUp(std::int64_t t);
    // Makes t the anchor: every change up to t taken; the next is found
    // anew from there.
    void anchorAt(std::int64_t t);
    void takeChange();
    void rebase();
    void findNextChange(double fromX);
    void drawNoise();
    void retarget();
    std::uint8_t statusByte() const { return lineHigh_ ? IdleStatus : std::uint8_t(IdleStatus | SensorLine); }

    KitClock &clock_;
    std::int32_t base_;
    Model model_;
    double rate_; // 1 / time constant
    std::uint8_t data_ = 0;
    std::uint8_t control_ = ControlInversion;
    double load_ = 0;
    double target_ = 0; // steady speed for the present word and load
    std::int64_t anchorTime_ = 0;
    double anchorSpeed_ = 0; // rpm at anchorTime_
    double gap_ = 0;         // anchorSpeed_ - target_
    double noiseFactor_ = 1; // on the sensor's travel from anchorTime_ on
    std::int64_t nextRebase_ = 0;
    std::int64_t rebaseEvery_ = 0;
    // sensor
    bool lineHigh_ = false;
    double toNextChange_ = 1; // travel from the anchor at which the line next changes
    double nextChangeX_ = 0;  // seconds after the anchor it does (infinity: never)
    double nextChange_ = 0;   // clock time it does (infinity: never)
    std::uint64_t statusReads_ = 0;
    std::mt19937_64 random_;
};

} // namespace tervalo

#pragma once
// The experiment state record: every value a session keeps between handlers,
// and the control cycle's working values. One plain struct, owned by the main
// window and handed by reference to the control cycle; no widget inside.

#include "engine/ClassicController.h"
#include "runtime/Integer.h"
#include "runtime/Long.h"
#include "runtime/Numeric.h"

#include <array>
#include <string>

namespace tervalo {

struct ExperimentState {
    // ---- the session -----------------------------------------------------
    long long outputY = 0; // Y(t), a number: whole, widening instead of overflowing
    long long errorE = 0;  // E(t) = reference - outputY
    Integer portBase = 0;  // data register; status +1, control +2
    Integer pulseCount = 0;
    std::string actuatorBits, dataBits, controlBits; // the word as text, for the LED row
    Integer prevError = 0;
    Integer fuzzyOutput = 0; // the fuzzy controller's held output U
    Integer reference = 0;
    Integer controlReference = 0;
    Integer errorDeltaRange = 0;
    Integer outputDeltaRange = 0;
    long long loadAtPress = 0;   // number
    long long loadAtRelease = 0; // number
    bool stopRequested = false;
    Single kp = 0, ki = 0, kd = 0;
    std::string termNB, termNM, termNS, termZE, termPS, termPM, termPB;
    Long sampleCount = 0;
    bool portDriverPresent = false; // program-wide

    // ---- the control cycle's working values --------------------------------
    Integer outputInt = 0, currentError = 0, errorDelta = 0;
    Single samplePeriod = 0;
    ClassicWorking classic; // errorRate, errorArea, negErrorRate
    Single errorMembership1 = 0, errorMembership2 = 0, deltaMembership1 = 0, deltaMembership2 = 0;
    std::string errorTerm1, errorTerm2, deltaTerm1, deltaTerm2;
    Integer outputDelta = 0, newOutput = 0;
    bool lastCycleSaturated = false; // the fuzzy output was held at a limit

    // The seven term names of the current language, NB .. PB.
    std::array<std::string, 7> termNames() const { return {termNB, termNM, termNS, termZE, termPS, termPM, termPB}; }
    void setTermNames(const std::array<std::string, 7> &names)
    {
        std::string *members[7] = {&termNB, &termNM, &termNS, &termZE, &termPS, &termPM, &termPB};
        for (std::size_t k = 0; k < 7; ++k)
            *members[k] = names[k];
    }
};

} // namespace tervalo

// The wave panel's commands through the controller: strokes, harmonic drags and operations on
// the selected slots, each one undo step; a cancelled stroke leaves nothing behind.
#include "EditorFixture.h"

#include "document/BankHistory.h"
#include "editor/PianoKeys.h"
#include "files/SampleImport.h"
#include "audio/WaveFileWriter.h"
#include "wavetable/WaveHarmonics.h"
#include "wavetable/WaveStroke.h"

#include <cmath>

namespace {

class WaveEditingTest : public EditorFixture {
protected:
    WaveEditingTest() {
        selectBank(0);
        controller.setLayout(false);
    }
    std::vector<std::int16_t> wave(int slot) {
        const auto all = values(0);
        return {all.begin() + slot * 256, all.begin() + slot * 256 + 256};
    }
};

TEST(WaveStrokeTest, LinesSetEveryValueBetweenTheirEnds) {
    std::vector<std::int16_t> wave(256, 7);
    WaveStroke::drawLine(wave, 10.2, 1000, 4.0, -1000); // drawn right to left
    EXPECT_EQ(wave[3], 7);
    EXPECT_EQ(wave[4], -1000);
    EXPECT_EQ(wave[7], std::lround(-1000 + 2000 * (7 - 4.0) / 6.2));
    EXPECT_EQ(wave[10], std::lround(-1000 + 2000 * 6 / 6.2));
    EXPECT_EQ(wave[11], 7);
    WaveStroke::drawLine(wave, -50, 40000, 300, 40000); // past both ends, past full scale
    EXPECT_EQ(wave.front(), 32767);
    EXPECT_EQ(wave.back(), 32767);
}

TEST(PianoKeysTest, TwoRowsByPhysicalKey) {
    EXPECT_EQ(PianoKeys::noteOf(52), 48); // Z: C3
    EXPECT_EQ(PianoKeys::noteOf(57), 57); // N: A3
    EXPECT_EQ(PianoKeys::noteOf(24), 60); // Q: C4
    EXPECT_EQ(PianoKeys::noteOf(31), 72); // I: C5
    EXPECT_FALSE(PianoKeys::noteOf(38));  // A: no key of the rows
    EXPECT_DOUBLE_EQ(WaveHarmonics::fromDb(0), 32768);
    EXPECT_NEAR(WaveHarmonics::toDb(WaveHarmonics::fromDb(-20)), -20, 1e-9);
    EXPECT_EQ(WaveHarmonics::fromDb(-96), 0);
}

TEST_F(WaveEditingTest, AStrokeIsOneStepAndEscTakesItBack) {
    controller.selectSlot(4, false);
    const auto before = wave(4);
    controller.beginStroke(0, 0, false);
    controller.strokeTo(100, 20000);
    controller.strokeTo(255, -20000);
    controller.endEdit();
    const auto drawn = wave(4);
    EXPECT_EQ(drawn[100], 20000);
    EXPECT_EQ(view.history().first, "Undo drawing on slot 5 of bank 1");
    controller.undo();
    EXPECT_EQ(wave(4), before);
    controller.redo();
    EXPECT_EQ(wave(4), drawn);

    controller.beginStroke(0, 30000, true);
    controller.strokeTo(255, 30000);
    controller.cancelEdit();
    EXPECT_EQ(wave(4), drawn);
    EXPECT_EQ(view.history().first, "Undo drawing on slot 5 of bank 1") << "nothing recorded";
}

TEST_F(WaveEditingTest, HarmonicDragsStopAtFullScaleAndOperationsWorkOnTheSelection) {
    // A silent wave: the dragged harmonic starts as a sine and stops at full scale.
    controller.selectSlot(253, false);
    controller.beginHarmonicDrag(3);
    controller.dragHarmonic(0.0);
    controller.endEdit();
    WaveHarmonics harmonics;
    const auto w = wave(253);
    const auto set = harmonics.analyse(std::span<const std::int16_t>(w));
    EXPECT_NEAR(set[3].magnitude, 32767, 2);
    EXPECT_EQ(w[0], 0);
    EXPECT_GT(w[21], 32700); // near the first crest, a quarter of a third of the wave in
    EXPECT_EQ(view.history().first, "Undo harmonic 3 of slot 254 of bank 1");

    controller.selectSlot(10, false);
    controller.selectSlot(12, true);
    controller.waveOperation(WaveSlotEditor::Operation::clear);
    EXPECT_EQ(wave(11), std::vector<std::int16_t>(256, 0));
    EXPECT_EQ(view.history().first, "Undo clear of slots 11-13 of bank 1");
    controller.undo();
    EXPECT_NE(wave(11), std::vector<std::int16_t>(256, 0));
    controller.copyWaves();
    controller.selectSlot(200, false);
    controller.pasteWaves();
    EXPECT_EQ(wave(200), wave(10));
    EXPECT_EQ(wave(202), wave(12));
}

TEST_F(WaveEditingTest, OpenIntoAWavetableAsksHowToTakeTheFileAndFillsFromTheSelectedSlot) {
    const std::string file = ::testing::TempDir() + "table16384.wav";
    {
        std::vector<std::int16_t> frames(16384);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            frames[i] = static_cast<std::int16_t>(i / 256 * 100);
        }
        WaveFileWriter writer(file);
        writer.writeMono16(frames.data(), frames.size(), 44100);
    }
    const auto before = values(0);
    controller.selectSlot(100, false);
    view.frameSizes = {std::nullopt, 256};
    view.files = {file, file};
    controller.importSample(); // cancelled: nothing changes
    EXPECT_EQ(values(0), before);
    controller.importSample();
    ASSERT_EQ(view.frameQuestions.size(), 2u);
    EXPECT_EQ(view.frameQuestions[1], (std::pair<std::size_t, std::size_t>{16384, 256}));
    EXPECT_EQ(wave(100), std::vector<std::int16_t>(256, 0));
    EXPECT_EQ(wave(163), std::vector<std::int16_t>(256, 6300));
    EXPECT_EQ(wave(99),
              std::vector<std::int16_t>(before.begin() + 99 * 256, before.begin() + 100 * 256));
    EXPECT_EQ(store().sampleName(0, 101), "table16384.wav 2");
    EXPECT_EQ(view.text(EditorView::SampleNameEdit), "Sample 1 (in Bank 1)");
    EXPECT_FALSE(store().isSingleSample(0));
    controller.undo();
    EXPECT_EQ(values(0), before);
}

TEST_F(WaveEditingTest, NothingDrawsWhileATransferRuns) {
    view.closeGateAt("Sending Bank 1");
    controller.sendBanks();
    ASSERT_TRUE(view.waitAtGate());
    const auto before = values(0);
    controller.beginStroke(0, 0, false);
    controller.strokeTo(255, 30000);
    controller.waveOperation(WaveSlotEditor::Operation::invert);
    controller.pasteWaves();
    EXPECT_EQ(values(0), before);
    view.openGate();
    waitIdle();
}

} // namespace

namespace {

TEST_F(EditorFixture, OneSampleOperationsActOnARangeOrTheSoundAndUndo) {
    selectBank(4);
    const auto before = values(4);
    controller.sampleOperation(VanetoEditorController::SampleOperation::fadeOut, 1000, 1999);
    const auto faded = values(4);
    EXPECT_EQ(faded[1999], 0);
    EXPECT_EQ(faded[999], before[999]);
    EXPECT_EQ(faded[2000], before[2000]);
    EXPECT_EQ(view.history().first, "Undo fade out of bank 5");
    controller.undo();
    EXPECT_EQ(values(4), before);
    // Without a range: the sound up to its last value that is not 0 (factory banks end in 1024
    // zeros, which stay at the end).
    controller.sampleOperation(VanetoEditorController::SampleOperation::reverse, -1, -1);
    const auto reversed = values(4);
    const auto lastSound = static_cast<std::size_t>(
        std::find_if(before.rbegin(), before.rend(), [](std::int16_t v) { return v != 0; }) -
        before.rbegin());
    const std::size_t end = before.size() - lastSound;
    EXPECT_EQ(reversed[0], before[end - 1]);
    EXPECT_EQ(reversed[end - 1], before[0]);
    EXPECT_EQ(reversed.back(), 0);
}

} // namespace

namespace {

TEST_F(EditorFixture, ChoosePartImportsAnotherStartOfTheSameSoundAsOneStep) {
    const std::string file = ::testing::TempDir() + "three-seconds.wav";
    {
        std::vector<std::int16_t> ramp(3 * 44100);
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            ramp[i] = static_cast<std::int16_t>(i % 20000);
        }
        WaveFileWriter writer(file);
        writer.writeMono16(ramp.data(), ramp.size(), 44100);
    }
    selectBank(2);
    EXPECT_FALSE(controller.canChoosePart());
    view.files = {file};
    controller.importSample();
    ASSERT_TRUE(controller.canChoosePart());
    const auto first = values(2);
    view.partStarts = {std::nullopt, 1.0};
    controller.choosePart(); // cancelled
    EXPECT_EQ(values(2), first);
    EXPECT_EQ(view.partColumns, 1000u);
    EXPECT_GT(view.readingSteps, 1);
    EXPECT_TRUE(view.readingDone) << "the progress ends with the reading";
    EXPECT_DOUBLE_EQ(view.partLength, 3.0);
    controller.choosePart();
    SampleImport::Options options;
    options.startSeconds = 1.0;
    DvVaneto expected;
    SampleImport::importInto(file, expected, 2, options);
    const auto chosen = values(2);
    EXPECT_TRUE(std::equal(chosen.begin(), chosen.end(), expected.bankData(2).begin()));
    controller.undo();
    EXPECT_EQ(values(2), first);
}

} // namespace

TEST_F(WaveEditingTest, UndoWaitsForAnOpenStrokeAndACancelTakesBackOnlyItsOwnStep) {
    controller.selectSlot(7, false);
    const auto factory = wave(7);
    controller.beginStroke(0, 10000, true);
    controller.strokeTo(255, 10000);
    controller.endEdit();
    const auto drawnA = wave(7);
    controller.beginStroke(0, -5000, true);
    controller.undo(); // the mouse button is still down: refused
    controller.redo();
    controller.strokeTo(255, -5000);
    controller.cancelEdit();
    EXPECT_EQ(wave(7), drawnA);
    controller.undo();
    EXPECT_EQ(wave(7), factory);
    controller.redo();
    EXPECT_EQ(wave(7), drawnA);
    EXPECT_EQ(view.history().second, "");
}

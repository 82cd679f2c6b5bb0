#pragma once

#include "RecordingEditorView.h"
#include "document/BankDocument.h"
#include "editor/VanetoEditorController.h"
#include "device/DvVaneto.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// The controller on the recording view, simulated MIDI ports and a virtual clock, with the
// dialog initialised as at program start.
class EditorFixture : public ::testing::Test {
protected:
    explicit EditorFixture(std::vector<std::string> ports = {"Synth Port", "Second Port"})
        : service(std::make_shared<SimulatedMidiOutService>(clock, std::move(ports))),
          controller(view, service, clock) {
        controller.initDialog();
        view.clearLog();
    }
    ~EditorFixture() override { waitIdle(); }

    const DvVaneto& store() { return controller.banks(); }
    // Sets the banks up without a step of the history.
    void write(const std::function<void(DvVaneto&)>& setUp) {
        controller.document().restore({}, [&setUp](DvVaneto& banks, BankDocument::Origins&) {
            setUp(banks);
            return true;
        });
    }
    std::vector<std::int16_t> values(int bank) {
        const auto data = store().bankData(bank);
        return {data.begin(), data.end()};
    }
    void selectBank(int bank) {
        view.setListSelection(EditorView::BankList, bank);
        controller.showSelectedBank();
    }
    void waitIdle() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!controller.isIdle() && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(controller.isIdle()) << "the transfer did not end";
    }
    std::vector<std::vector<std::uint8_t>> sent() const {
        std::vector<std::vector<std::uint8_t>> found;
        for (const auto& message : service->messages()) {
            if (message.isLong) {
                found.push_back(message.bytes);
            }
        }
        return found;
    }

    VirtualClock clock;
    RecordingEditorView view;
    std::shared_ptr<SimulatedMidiOutService> service;
    VanetoEditorController controller;
};

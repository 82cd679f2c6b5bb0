#pragma once

#include "RecordingEditorView.h"
#include "app/VanetoEditorController.h"
#include "device/DvVaneto.h"
#include "midiout/SimulatedMidiOutService.h"
#include "midiout/VirtualClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// A controller on the recording view, two simulated MIDI ports and a virtual clock, with the
// dialog initialised as at program start.
class EditorFixture : public ::testing::Test {
protected:
    explicit EditorFixture(std::vector<std::string> ports = {"Synth Port", "Second Port"})
        : service(std::make_shared<SimulatedMidiOutService>(clock, std::move(ports))),
          controller(view, service, clock) {
        controller.initDialog();
        view.clearRecords();
    }

    ~EditorFixture() override { waitIdle(); }

    DvVaneto& store() { return controller.banks(); }

    void selectBank(int bank) {
        view.setListSelection(EditorView::BankList, bank);
        controller.showSelectedBank();
    }

    // Waits (in real time) until no transfer runs; fails the test after a generous limit.
    void waitIdle() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!controller.isIdle()) {
            if (std::chrono::steady_clock::now() > limit) {
                ADD_FAILURE() << "the transfer did not end";
                view.openGate();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // Long messages that went out, in order.
    std::vector<SimulatedMidiOutService::Message> longMessages() const {
        std::vector<SimulatedMidiOutService::Message> found;
        for (auto& message : service->messages()) {
            if (message.isLong) {
                found.push_back(message);
            }
        }
        return found;
    }

    VirtualClock clock;
    RecordingEditorView view;
    std::shared_ptr<SimulatedMidiOutService> service;
    VanetoEditorController controller;
};

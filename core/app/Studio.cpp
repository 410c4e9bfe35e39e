#include "app/Studio.h"

#include "seams/Ui.h"

namespace velmora {

Studio::Studio(const StudioSeams& seams, const ViewSettings& settings)
    : audio_(seams.audio),
      showStatus_(seams.showStatus),
      settings_(settings),
      context_{seams.doc, seams.ui, seams.form, seams.timers, settings_},
      playDevice_(seams.audio),
      recordDevice_(seams.audio),
      corrections_(seams.form),
      panel_(context_, corrections_, seams.volume),
      transport_(context_, playDevice_),
      tone_(context_, playDevice_, transport_),
      recorder_(context_, RecordingParts{transport_, tone_, panel_, playDevice_, recordDevice_,
                                         seams.countdown}),
      recordSetup_(context_, recorder_.options, seams.recordSetup),
      recovery_(seams.doc, seams.ui, panel_, seams.recoveryDirectory),
      dialogCommands_(seams.doc, panel_, seams.dialogs),
      devices_(context_, seams.deviceList, [this] {
        if (!surveyAdopted_) {
          // The start-up survey is still under way: ask the sound system now, and keep this
          // answer, so that the late one cannot undo what the dialog's OK sets.
          WaitCursor wait(context_.ui);
          AdoptSurvey(SurveyDevices(audio_));
        }
        return DeviceListsOf(panel_.devices());
      }) {
  // The make-mix button's build goes through the transport, which plays on with the new mix.
  panel_.buildMix = [this] { return transport_.BuildMixNow(); };
  recorder_.showStatus = showStatus_;
  if (!seams.recoveryDirectory.empty()) {
    recorder_.openRecovery = [this](uint32_t rate, uint16_t bits, uint16_t channels) {
      return recovery_.OpenWriter(rate, bits, channels);
    };
  }
  recorder_.takeStored = [this](int slot, std::unique_ptr<RecoveryWriter> writer) {
    recovery_.Adopt(slot, std::move(writer));
  };
  commandTargets_ = {&panel_, &transport_, &dialogCommands_, &devices_, &recorder_, &recordSetup_};
  timerTargets_ = {&transport_, &tone_, &recorder_};
  updateTargets_ = {&panel_, &recovery_};
  if (seams.metronome != nullptr) MakeMetronome(*seams.metronome);
}

void Studio::MakeMetronome(const MetronomeSeams& seams) {
  metronome_ =
      std::make_unique<Metronome>(context_.ui, seams.form, seams.timers, seams.display, audio_);
  metronome_->OnInitDialog(seams.displayBase, seams.workAreaHeight);
  metronome_->SetOutputDevice(settings_.outputDevice);
  devices_.AddOutputDeviceOwner(metronome_.get());
}

Studio::~Studio() {
  if (metronome_) metronome_->OnDestroy();
  recorder_.OnDestroy();
  transport_.OnDestroy();
  tone_.OnDestroy();
}

void Studio::AdoptSurvey(const DeviceSurvey& survey) {
  const std::string note = MissingDevicesNote(FallBackFromMissingDevices(survey, settings_));
  if (metronome_) metronome_->SetOutputDevice(settings_.outputDevice);
  panel_.AdoptDeviceSurvey(survey);
  surveyAdopted_ = true;
  if (!note.empty() && showStatus_) showStatus_(note);
}

}  // namespace velmora

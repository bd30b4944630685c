// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/au_carbon_view_base.h"

#include <algorithm>

#include "platform/ui/view.h"
#include "platform/ui/window.h"

namespace {

// The pane's content: top-down coordinates, like the host window's.
class PaneView : public ui::View {
 public:
  using ui::View::View;
  bool isFlipped() const override { return true; }
};

}  // namespace

AUCarbonViewBase::AUCarbonViewBase(ComponentInstanceRecord* inInstance, Float32 inNotifyInterval)
    : ComponentBase(inInstance), mNotifyInterval(inNotifyInterval) {}

AUCarbonViewBase::~AUCarbonViewBase() { RemovePane(); }

OSStatus AUCarbonViewBase::DispatchSelector(ComponentParameters& inParams) {
  switch (inParams.what) {
    case kAudioUnitCarbonViewCreateSelect: {
      auto* args = static_cast<AudioUnitCarbonViewCreateArgs*>(inParams.args);
      if (!args || !args->inAudioUnit || !args->inWindow || !args->inParentControl ||
          !args->inLocation || !args->inSize || !args->outControl) {
        return paramErr;
      }
      return CreateCarbonView(args->inAudioUnit, args->inWindow, args->inParentControl,
                              *args->inLocation, *args->inSize, *args->outControl);
    }
    case kAudioUnitCarbonViewSetEventListenerSelect: {
      auto* args = static_cast<AudioUnitCarbonViewSetEventListenerArgs*>(inParams.args);
      if (!args) return paramErr;
      mEventListener = args->inCallback;
      mEventListenerUserData = args->inUserData;
      return noErr;
    }
    default:
      return ComponentBase::DispatchSelector(inParams);
  }
}

OSStatus AUCarbonViewBase::CreateCarbonView(AudioUnit inAudioUnit, HostWindowRef inWindow,
                                            HostPaneRef inParentControl,
                                            const Float32Point& inLocation,
                                            const Float32Point& inSize, HostPaneRef& outControl) {
  outControl = 0;
  RemovePane();
  mEditAudioUnit = inAudioUnit;
  mCarbonWindow = inWindow;
  mLocation = ui::Point{inLocation.x, inLocation.y};
  mBottomRight = ui::Point{0, 0};
  mPaneSized = false;
  if (PaneParentExists(inParentControl)) {
    const ui::Size size{std::max<Float32>(1, inSize.x), std::max<Float32>(1, inSize.y)};
    mCarbonPane = ui::Window::embedded(inParentControl, ui::Rect(mLocation, size));
    mCarbonPane->setContentView(std::make_unique<PaneView>(ui::Rect(ui::Point{0, 0}, size)));
  }
  const OSStatus status = CreateUI(inLocation.x, inLocation.y);
  if (status != noErr) {
    RemovePane();
    return status;
  }
  if (!mPaneSized && mBottomRight.x > 0 && mBottomRight.y > 0) {
    SizePane(ui::Size{mBottomRight.x, mBottomRight.y});
  }
  if (mCarbonPane) {
    mCarbonPane->makeKeyAndOrderFront();
    outControl = mCarbonPane->nativeHandle();
  }
  return noErr;
}

void AUCarbonViewBase::EmbedControl(std::unique_ptr<ui::View> inControl) {
  if (!mCarbonPane || !mCarbonPane->contentView() || !inControl) return;
  ui::Rect frame = inControl->frame().offsetBy(-mLocation.x, -mLocation.y);
  inControl->setFrame(frame);
  mBottomRight.x = std::max(mBottomRight.x, frame.maxX());
  mBottomRight.y = std::max(mBottomRight.y, frame.maxY());
  mCarbonPane->contentView()->addSubview(std::move(inControl));
}

void AUCarbonViewBase::SizePane(ui::Size inSize) {
  mPaneSized = true;
  if (mCarbonPane) mCarbonPane->setContentSize(inSize);
}

void AUCarbonViewBase::RemovePane() {
  if (!mCarbonPane) return;
  mCarbonPane->close();
  mCarbonPane.reset();
}

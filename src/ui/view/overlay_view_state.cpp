#include "ui/view/overlay_view_state.hpp"

namespace glimmet {

bool clearChoiceState(OverlayViewState& state) {
  const bool had = state.expandedChoiceMessageID || state.choiceNoteFocusedMessageID ||
                   !state.activeChoiceNote.empty();
  state.expandedChoiceMessageID.reset();
  state.choiceNoteFocusedMessageID.reset();
  state.activeChoiceNote.clear();
  return had;
}

}  // namespace glimmet

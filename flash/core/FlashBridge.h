// The movie's calls to the game window. The Flash player hands each ExternalInterface call over as
// XML text, such as
//   <invoke name="setReloadTips" returntype="xml"><arguments><string>T</string></arguments></invoke>
// The bridge reads it with a fresh MarkupDocument, walks its elements level by level, carries out
// the four host functions the movie may call and writes a trace of the request to the debug
// output. The movie never receives a value.
#pragma once

#include <string>
#include <string_view>

namespace kelvo {

class MarkupDocument;

// What the bridge asks of the game window, and where its trace goes.
class FlashBridgeHost {
public:
    // One piece of the trace; the Windows side writes each piece with one debug-output call.
    virtual void DebugOutput(std::u16string_view piece) = 0;
    virtual void StartReloadTimer() = 0; // timer 1, 200 ms, restarted when pending
    virtual void SetLeaveGamePrompt(std::u16string prompt) = 0;
    virtual void ToggleMaximized() = 0;
    virtual void ConfirmCloseGame() = 0;

protected:
    ~FlashBridgeHost() = default;
};

// The whole handling of one call: the request is traced, loaded, walked. A request that is not
// well-formed is walked through whatever tree the reader builds from it.
// The request is taken as a string so that the reader can load it without another copy.
void HandleFlashCall(const std::u16string& request, FlashBridgeHost& host);

// Walks the elements of the document's current level and, depth first, their children. A host
// function other than "setReloadTips" ends the level it is found on; the level above goes on.
// The walk keeps its own depth count instead of recursing, so input depth costs no stack.
// The prompt of the last "setReloadTips" reaches the host before each leave question and at the
// end of the walk, not at the call itself: what the game window reads is the same, and a walk
// costs time linear in the text whatever its shape.
void DispatchRequestElements(MarkupDocument& document, FlashBridgeHost& host);

// "setReloadTips": the raw inner markup of the invoke element without the argument wrappers.
std::u16string ReloadTipsPrompt(std::u16string_view innerMarkup);

} // namespace kelvo

#pragma once

class FaceMenu;
class SkinnedFrame;

// Makes the control box of the frame open the face menu under it, in place of the window menu; the frame
// keeps its own menu logic for every other button.
void OpenFaceMenuFromControlBox(SkinnedFrame &frame, FaceMenu &menu);

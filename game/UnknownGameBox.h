#pragma once

class GameRouter;
class QObject;

// Shows the router's box about unknown game data: application-modal, but opened without a nested event
// loop, so that the packet being handled and the ones behind it carry on. The router hears when it closes.
void showUnknownGameBoxes(GameRouter &router, QObject *context);

#pragma once

class AlertPresenter;
class ApplicationPresence;
class Workspace;

// The desktop interfaces the headless model needs, handed to it at construction. The GUI owns
// the implementations and keeps them alive as long as the model; tests pass fakes.
struct DesktopServices
{
    AlertPresenter* alerts = nullptr;
    ApplicationPresence* presence = nullptr;
    Workspace* workspace = nullptr;
};

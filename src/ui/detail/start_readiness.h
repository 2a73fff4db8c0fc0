#pragma once

struct Project;
struct ProjectInfo;

// Whether a start would find the project's dependencies: the Wrangler modes need Wrangler
// installed, the Vite and dev-script modes any "node_modules" near the project, a custom
// command nothing. The run mode in force is the project's override, else the detected one.
bool dependenciesReadyForStart(const Project& project, const ProjectInfo& info);

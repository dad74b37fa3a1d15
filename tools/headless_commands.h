// The subcommands of aquarium-headless. Each returns the process exit code.
#pragma once

namespace tools {

int run_trace(int argc, char** argv);
int run_bench(int argc, char** argv);
int run_render(int argc, char** argv);

}  // namespace tools

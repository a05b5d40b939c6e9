#pragma once
// The game loop: start, steps in their fixed order, transitions, end.
#include <cstdint>

#include "core/subsystem.h"

namespace kx {

struct Runtime;

// What the subsystems do at a phase, in list order.
void run_phase(Runtime& r, Phase p);
// The same inside a step: stops once a transition is pending, and answers
// whether none is.
bool run_step_phase(Runtime& r, Phase p);

void build_event_lists(Runtime& r);
// Every instance of every object in the event list of (type, number).
void dispatch_event(Runtime& r, int32_t type, int32_t number);

void start_game(Runtime& r);
void end_game(Runtime& r);
// Carries out a pending transition; false when the loop must stop.
bool handle_transition(Runtime& r);
void perform_step(Runtime& r);
// Runs the game until it ends (or the loop is paused).
void run_game(Runtime& r);
// The debug window's commands.
void loop_pause(Runtime& r);        // the loop returns after the current iteration
void loop_single_step(Runtime& r);  // while paused: exactly one step, presented
void loop_stop(Runtime& r);         // ends the game (at once when paused)
void loop_restart(Runtime& r);      // restarts; while paused, runs again

// Waits us microseconds, processing window messages (virtual time: at once).
void wait_us(Runtime& r, int64_t us);
// Processes pending window messages, then what the subsystems do after them.
void process_messages(Runtime& r);

// Sets lives or health, raising the event when they run out.
void set_lives(Runtime& r, int32_t v);
void set_health(Runtime& r, double v);

}  // namespace kx

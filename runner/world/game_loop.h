#pragma once
// The game loop: start, steps in their fixed order, transitions, end.
#include <cstdint>

namespace kx {

void build_event_lists();
// Every instance of every object in the event list of (type, number).
void dispatch_event(int32_t type, int32_t number);

void start_game();
void end_game();
// Carries out a pending transition; false when the loop must stop.
bool handle_transition();
void perform_step();
// Runs the game until it ends (or the loop is paused).
void run_game();
// The debug window's commands.
void loop_pause();        // the loop returns after the current iteration
void loop_single_step();  // while paused: exactly one step, presented
void loop_stop();         // ends the game (at once when paused)
void loop_restart();      // restarts; while paused, runs again

// Waits us microseconds, processing window messages (virtual time: at once).
void wait_us(int64_t us);

// Sets lives or health, raising the event when they run out.
void set_lives(int32_t v);
void set_health(double v);

}  // namespace kx

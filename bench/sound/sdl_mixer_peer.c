/* The sound benchmark's peer: the same 64 sound files looping and the same
 * MIDI music, mixed by SDL_mixer at 44,100 Hz stereo through SDL's disk
 * driver without its delay, as fast as the mixer goes. Prints the seconds it
 * took to mix SECONDS of sound. SDL_mixer has no echo, chorus or reverb: each
 * channel gets the panning the game's sound has, nothing more. */
#include <SDL.h>
#include <SDL_mixer.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static volatile Sint64 mixed_frames = 0;

static void count_frames(void* udata, Uint8* stream, int len) {
    (void)udata;
    (void)stream;
    mixed_frames += len / 4; /* 16-bit stereo */
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s LIST MUSIC SECONDS\n", argv[0]);
        return 2;
    }
    const double seconds = atof(argv[3]);
    SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
    SDL_setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    SDL_setenv("SDL_DISKAUDIODELAY", "0", 1);
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    Mix_Init(MIX_INIT_MID);
    const Uint64 t0 = SDL_GetPerformanceCounter();
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        fprintf(stderr, "SDL_mixer: %s\n", Mix_GetError());
        return 1;
    }
    Mix_AllocateChannels(64);
    FILE* list = fopen(argv[1], "r");
    char line[1024];
    int n = 0;
    Mix_Chunk* chunks[64];
    while (list && n < 64 && fgets(line, sizeof line, list)) {
        line[strcspn(line, "\r\n")] = 0;
        chunks[n] = Mix_LoadWAV(line);
        if (!chunks[n]) {
            fprintf(stderr, "cannot load %s: %s\n", line, Mix_GetError());
            return 1;
        }
        ++n;
    }
    if (list) fclose(list);
    Mix_Music* music = Mix_LoadMUS(argv[2]);
    if (!music) fprintf(stderr, "no music: %s\n", Mix_GetError());
    Mix_SetPostMix(count_frames, NULL);
    SDL_LockAudio();
    for (int i = 0; i < n; ++i) {
        Mix_PlayChannel(i, chunks[i], -1);
        Mix_SetPanning(i, (Uint8)(128 + (i % 5 - 2) * 20), (Uint8)(128 - (i % 5 - 2) * 20));
    }
    if (music) Mix_PlayMusic(music, 0);
    SDL_UnlockAudio();
    const Sint64 want = (Sint64)(seconds * 44100);
    while (mixed_frames < want) SDL_Delay(1);
    const double elapsed = (double)(SDL_GetPerformanceCounter() - t0) / (double)SDL_GetPerformanceFrequency();
    printf("%.3f\n", elapsed);
    Mix_CloseAudio();
    SDL_Quit();
    return 0;
}

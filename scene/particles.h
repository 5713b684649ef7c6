// The explosion sparks: a fixed pool of records on a free and a live list.
#pragma once

struct Particle {
  Particle* next;
  float x, y, z;
  float vx, vy, vz;  // room units per 10 ms
  float life;        // units of 10 ms; dead at 0 or below
};

constexpr int kParticlePoolSize = 1024;
constexpr int kSparksPerExplosion = 750;

// The sparks (the window's thread): the pool's block and its lists, and the sparks' random
// sequence (SeedSparkRandom).
struct ParticlePoolRecord {
  Particle* records;  // CountedAlloc'd block of kParticlePoolSize, null until allocated
  Particle* freeList;
  Particle* liveList;
  unsigned sparkSeed = 1;
};

extern ParticlePoolRecord ParticlePool;

void AllocateParticles();
void SpawnParticle(float x, float y, float z, float vx, float vy, float vz, unsigned life);
void DrawParticles();  // steps and draws every live spark; needs the GL context

// Uniform integers 0..32767 in a fixed sequence (the C library's rand has a
// wider range here); SeedSparkRandom restarts the sequence.
int SparkRandom();
void SeedSparkRandom(unsigned seed);

int CountParticles(const Particle* list);

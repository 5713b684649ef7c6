// Explosion sparks: spawned from a fixed pool, stepped under gravity, bounced off the room's box.
#include "scene/particles.h"

#include <GL/gl.h>

#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "scene/scene.h"
#include "scene/world.h"

ParticlePoolRecord ParticlePool;

int SparkRandom() {
  ParticlePool.sparkSeed = ParticlePool.sparkSeed * 214013u + 2531011u;
  return static_cast<int>((ParticlePool.sparkSeed >> 16) & 0x7FFFu);
}

void SeedSparkRandom(unsigned seed) { ParticlePool.sparkSeed = seed; }

void AllocateParticles() {
  if (!ParticlePool.records)
    ParticlePool.records = static_cast<Particle*>(CountedAlloc(sizeof(Particle) * kParticlePoolSize));
  ParticlePool.liveList = nullptr;
  ParticlePool.freeList = nullptr;
  if (!ParticlePool.records) return;  // no block: explosions show nothing
  for (int i = 0; i < kParticlePoolSize; ++i)
    ParticlePool.records[i].next = (i + 1 < kParticlePoolSize) ? &ParticlePool.records[i + 1] : nullptr;
  ParticlePool.freeList = &ParticlePool.records[0];
}

void FreeParticles() {
  if (!ParticlePool.records) return;
  CountedFree(ParticlePool.records);
  ParticlePool.records = nullptr;
  ParticlePool.freeList = nullptr;
  ParticlePool.liveList = nullptr;
}

void SpawnParticle(float x, float y, float z, float vx, float vy, float vz, unsigned life) {
  Particle* p = ParticlePool.freeList;
  if (!p) return;
  ParticlePool.freeList = p->next;
  p->next = ParticlePool.liveList;
  ParticlePool.liveList = p;
  p->x = x;
  p->y = y;
  p->z = z;
  p->vx = vx;
  p->vy = vy;
  p->vz = vz;
  p->life = static_cast<float>(life);
}

static float SparkSpeed() { return (static_cast<float>(SparkRandom()) / 32767.0f - 0.5f) / 10.0f; }

void SpawnExplosion(float x, float y, float z) {
  for (int i = 0; i < kSparksPerExplosion; ++i) {
    float vx = SparkSpeed();
    float vy = SparkSpeed();
    float vz = SparkSpeed();
    unsigned life = static_cast<unsigned>(SparkRandom() % 18 + 20);
    SpawnParticle(x, y, z, vx, vy, vz, life);
  }
}

static void Recycle(Particle* p) {
  p->next = ParticlePool.freeList;
  ParticlePool.freeList = p;
}

void DrawParticles() {
  const float s = AppState.frameScale;
  const WorldBoundsRecord& b = WorldBounds;
  glDisable(GL_TEXTURE_2D);
  while (ParticlePool.liveList && ParticlePool.liveList->life <= 0.0f) {
    Particle* dead = ParticlePool.liveList;
    ParticlePool.liveList = dead->next;
    Recycle(dead);
  }
  glBegin(GL_LINES);
  for (Particle* p = ParticlePool.liveList; p; p = p->next) {
    while (p->next && p->next->life <= 0.0f) {
      Particle* dead = p->next;
      p->next = dead->next;
      Recycle(dead);
    }
    glVertex3f(p->x, p->y, p->z);
    p->x += s * p->vx;
    p->y += s * p->vy;
    p->z += s * p->vz;
    p->vy -= 0.0005f * s;
    p->life -= s;
    glVertex3f(p->x, p->y, p->z);
    // Only the velocity turns: a spark outside the box may flip while it is out.
    if (p->y < b.minY || p->y > b.maxY) p->vy *= -0.9f;
    if (p->x < b.minX || p->x > b.maxX) p->vx *= -0.9f;
    if (p->z < b.minZ || p->z > b.maxZ) p->vz *= -0.9f;
  }
  glEnd();
  glEnable(GL_TEXTURE_2D);
}

int CountParticles(const Particle* list) {
  int n = 0;
  for (; list; list = list->next) ++n;
  return n;
}

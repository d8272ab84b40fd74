// The refresh decision: would anything the strip shows change now?
#pragma once

// Takes fresh readings and compares them, at the grain of the labels and the
// clock's minute, with what the last paint recorded in ItemState. Retries a
// missing wake-up registration first. True when the strip must be repainted.
bool NeedsRefresh();

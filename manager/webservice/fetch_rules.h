// How a download from the web service is judged and shown: its size limit,
// the announced length, the outcome and the progress bar.
#pragma once

#include <cstddef>

const size_t ReplyCap = 16u * 1024 * 1024;  // beyond it the download is an error
const size_t ReadStep = 4095;               // bytes asked per read

// A Content-Length header's text as a number: decimal digits, blanks around
// them allowed. Anything else, or no header (nullptr), gives 0 ("unknown");
// values beyond 64 bits are held at the largest value.
unsigned long long ContentLengthValue(const char* header);

// Whether the download is over the limit: more than ReplyCap bytes arrived
// or were announced (then the reader stops at once).
int IsOverReplyCap(size_t received, unsigned long long expected);

enum FetchOutcome { FetchComplete, FetchFailed };

// received: bytes read; expected: ContentLengthValue (0 = unknown); capped:
// IsOverReplyCap held. Failed when nothing arrived, when capped, or when a
// known length did not arrive whole.
FetchOutcome JudgeFetch(size_t received, unsigned long long expected, int capped);

// The progress bar's upper bound: 100 for an unknown length, else the
// length held at INT_MAX.
int ProgressRange(unsigned long long expected);
// Its position for the bytes received, held at the bound.
int ProgressPosition(size_t received, int range);

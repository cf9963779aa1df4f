/* The plain libtiff reader of the file workload: every file of a list read
 * scanline by scanline into a freshly allocated image buffer, as a C program
 * using libtiff directly would. Prints the median wall and processor times
 * of the repetitions in milliseconds and the sum of the pixel values (8- or
 * 16-bit samples) as one JSON object.
 *
 * Usage: tiffread LIST_FILE REPETITIONS
 */

#include <tiffio.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#define MAX_FILES 4096

static double now(clockid_t clock)
{
    struct timespec t;
    clock_gettime(clock, &t);
    return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

/* Reads one file; adds the sum of its samples to *sum when sum is given. */
static int readFile(const char* name, uint64_t* sum)
{
    TIFF* tif = TIFFOpen(name, "r");
    if (!tif)
        return 0;
    uint32_t width = 0, length = 0;
    uint16_t bits = 8, samples = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const tmsize_t line = TIFFScanlineSize(tif);
    unsigned char* image = malloc((size_t)line * length);
    int ok = image != NULL;
    for (uint32_t y = 0; ok && y < length; ++y)
        ok = TIFFReadScanline(tif, image + (size_t)y * line, y, 0) == 1;
    if (ok && sum) {
        const size_t bytes = (size_t)line * length;
        if (bits == 16) {
            for (size_t n = 0; n + 1 < bytes; n += 2) {
                uint16_t v;
                memcpy(&v, image + n, 2);
                *sum += v;
            }
        } else {
            for (size_t n = 0; n < bytes; ++n)
                *sum += image[n];
        }
    }
    free(image);
    TIFFClose(tif);
    return ok;
}

static int compare(const void* a, const void* b)
{
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s LIST_FILE REPETITIONS\n", argv[0]);
        return 2;
    }
    FILE* list = fopen(argv[1], "r");
    if (!list) {
        perror(argv[1]);
        return 1;
    }
    static char names[MAX_FILES][1024];
    int count = 0;
    while (count < MAX_FILES && fgets(names[count], sizeof names[count], list)) {
        names[count][strcspn(names[count], "\n")] = 0;
        if (names[count][0])
            ++count;
    }
    fclose(list);
    int repetitions = atoi(argv[2]);
    if (repetitions < 1)
        repetitions = 1;
    if (repetitions > 1000)
        repetitions = 1000;

    uint64_t sum = 0;
    for (int f = 0; f < count; ++f) /* into the page cache, and the check sum */
        if (!readFile(names[f], &sum)) {
            fprintf(stderr, "cannot read %s\n", names[f]);
            return 1;
        }
    double times[1000], cpu[1000];
    for (int r = 0; r < repetitions; ++r) {
        const double start = now(CLOCK_MONOTONIC), startCpu = now(CLOCK_PROCESS_CPUTIME_ID);
        for (int f = 0; f < count; ++f)
            readFile(names[f], NULL);
        times[r] = now(CLOCK_MONOTONIC) - start;
        cpu[r] = now(CLOCK_PROCESS_CPUTIME_ID) - startCpu;
    }
    qsort(times, (size_t)repetitions, sizeof times[0], compare);
    qsort(cpu, (size_t)repetitions, sizeof cpu[0], compare);
    printf("{\"median_ms\": %.3f, \"median_cpu_ms\": %.3f, \"files\": %d, \"sum\": %llu}\n",
           1000 * times[repetitions / 2], 1000 * cpu[repetitions / 2], count, (unsigned long long)sum);
    return 0;
}

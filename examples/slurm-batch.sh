#!/usr/bin/env bash
# glimshape — examples
# Purpose: a Slurm job array that runs one glimshape-batch shard per array task. Every task
# writes the numbers TASK*PER_TASK … TASK*PER_TASK+PER_TASK-1; with one seed for the whole
# array the files are exactly those a single run of all numbers would write.
#
#   sbatch --array=0-9 examples/slurm-batch.sh             # 10 tasks × 10 files = 100 files
#   DRAWING=my.svg OUT=$HOME/results SEED=7 PER_TASK=20 sbatch --array=0-49 examples/slurm-batch.sh
#
#SBATCH --job-name=glimshape-batch
#SBATCH --array=0-9
#SBATCH --cpus-per-task=1
#SBATCH --mem=1G
#SBATCH --time=02:00:00
#SBATCH --output=glimshape-batch-%A_%a.log
set -euo pipefail

drawing=${DRAWING:-examples/drawing.svg}   # the drawing (on a file system every node sees)
out=${OUT:-glimshape-results}              # shared output directory
seed=${SEED:-2026}                         # one seed for the whole array
per_task=${PER_TASK:-10}                   # files per array task
program=${GLIMSHAPE_BATCH:-glimshape-batch}
task=${SLURM_ARRAY_TASK_ID:?submit with sbatch --array=...}

first=$((task * per_task))
# Shards never write the same number, so they share one output directory safely; --quiet keeps
# the job logs to errors and the written paths.
exec "$program" --quiet --seed "$seed" --first "$first" --count "$per_task" \
  --fill --occupy --png --output "$out" "$drawing"

-- Quicksort of 200000 pseudo-random numbers (the same generator everywhere).
local function quicksort(a, lo, hi)
    while lo < hi do
        local p = a[(lo + hi) // 2]
        local i, j = lo, hi
        while i <= j do
            while a[i] < p do i = i + 1 end
            while a[j] > p do j = j - 1 end
            if i <= j then
                a[i], a[j] = a[j], a[i]
                i = i + 1
                j = j - 1
            end
        end
        if j - lo < hi - i then
            quicksort(a, lo, j)
            lo = i
        else
            quicksort(a, i, hi)
            hi = j
        end
    end
end

local n = 200000
local a = {}
local seed = 12345
for i = 0, n - 1 do
    seed = (seed * 1103 + 12345) % 1000003
    a[i] = seed
end
quicksort(a, 0, n - 1)
local ok = true
for i = 1, n - 1 do
    if a[i - 1] > a[i] then ok = false end
end
print(ok, a[0], a[n - 1])

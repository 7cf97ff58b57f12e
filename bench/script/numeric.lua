local function work()
    local s = 0
    for i = 1, 3000000 do
        s = s + (i % 7) * 2 - 1
    end
    return s
end

print(work())
